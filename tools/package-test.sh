#!/usr/bin/env bash
# Builds the Debian packages from the checkout, checks them with lintian, then
# installs them on this machine and uses what they installed: the service's
# unit, the server started as the unit starts it, zoradm and ZorCFG against it,
# the desktop entry and the AppStream file; then upgrades, removes and purges
# them, checking what happens to the database each time.
#   tools/package-test.sh              (tools/test.sh runs it)
#   tools/package-test.sh --no-build   the packages already in build/package/
# Needs root or sudo. It refuses to run where zorcfg or zorsrv is installed or
# /var/lib/zorsrv exists, and purges what it installed when it stops early.
set -euo pipefail
cd "$(dirname "$0")/.."

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
step() { echo "== package test: $*"; }
fail() {
    echo "package test FAILED: $*" >&2
    exit 1
}
expect() { # expect TEXT FILE WHAT: FILE holds TEXT; expect -E for a regular expression
    local how=-F
    if [ "$1" = -E ]; then
        how=-E
        shift
    fi
    grep -q "$how" -- "$1" "$2" || {
        cat "$2" >&2
        fail "$3: \"$1\" not found"
    }
}
run() { # run LOG COMMAND...: the command's output into LOG, shown if it fails
    local log=$1
    shift
    "$@" >"$log" 2>&1 || {
        cat "$log" >&2
        fail "$*"
    }
}
apt() { $SUDO env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 -y "$@"; }

tools/deps.sh lintian desktop-file-utils appstream systemd

# One run at a time on a machine: it installs system-wide.
lock=/tmp/zorcfg-package-test.lock
[ -e "$lock" ] || (umask 000 && : >>"$lock")
exec 9<"$lock"
flock 9

for p in zorcfg zorsrv; do
    case "$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)" in
    "" | not-installed) ;;
    *) fail "$p is installed on this machine; the test would purge it (sudo apt-get purge $p)" ;;
    esac
done
state=/var/lib/zorsrv
[ ! -e "$state" ] || fail "$state exists; the test would delete it (move it away first)"

work=$(mktemp -d)
server=""
port=""
directory=""
station=""
installed=0
cleanup() {
    if [ -n "$server" ]; then $SUDO kill "$server" 2>/dev/null || true; fi
    if [ "$installed" = 1 ]; then apt purge zorcfg zorsrv >/dev/null 2>&1 || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

# A purge keeps the service's user, as Debian does; the test deletes one left
# by an earlier purge, so that the installation must make it again.
if getent passwd zorsrv >/dev/null; then run "$work/deluser.log" $SUDO deluser --system zorsrv; fi

started=$SECONDS
folder="$PWD/build/package"
if [ "${1:-}" != "--no-build" ]; then
    step "building the packages"
    tools/package.sh >"$work/build.log" 2>&1 || {
        tail -50 "$work/build.log"
        fail "tools/package.sh"
    }
    folder=$(sed -n 's/^Packages: //p' "$work/build.log")
    echo "built in $((SECONDS - started)) s"
fi
mapfile -t debs < <(ls "$folder"/*.deb)
[ "${#debs[@]}" = 2 ] || fail "expected the two packages in $folder, found: ${debs[*]}"

step "lintian"
lintian --fail-on error,warning --display-info --pedantic "$folder"/*.changes | tee "$work/lintian.log" ||
    fail "lintian found errors or warnings"
echo "lintian: $(grep -c '^E:' "$work/lintian.log" || true) errors," \
    "$(grep -c '^W:' "$work/lintian.log" || true) warnings," \
    "$(grep -c '^I:' "$work/lintian.log" || true) notes"

step "installing"
installed=1
run "$work/install.log" apt install "${debs[@]}"
for command in ZorCFG zorcfg zoradm; do
    [ "$(command -v "$command")" = "/usr/bin/$command" ] || fail "$command is not on the PATH"
done

# Where systemd runs this machine, the packages start the service, and restart
# it on upgrade: see that it runs, then stop it so that the test starts the
# server itself on the same database.
stop_service() {
    if [ -d /run/systemd/system ]; then
        systemctl is-active --quiet zorsrv || fail "the zorsrv service is not running"
        $SUDO systemctl stop zorsrv
    fi
}
stop_service

step "the unit"
unit=/lib/systemd/system/zorsrv.service
run "$work/verify.log" systemd-analyze verify "$unit"
run "$work/security.log" systemd-analyze security --offline=yes --threshold=20 "$unit"
grep 'Overall exposure level' "$work/security.log"
setting() { sed -n "s/^$1=//p" "$unit" | tail -n 1; }
user=$(setting User)
group=$(setting Group)
getent passwd "$user" >/dev/null || fail "no system user $user"

step "desktop entry and AppStream file"
desktop=/usr/share/applications/org.example.zorcfg.desktop
run "$work/desktop.log" desktop-file-validate "$desktop"
run "$work/appstream.log" appstreamcli validate --no-net /usr/share/metainfo/org.example.zorcfg.metainfo.xml
icon=$(sed -n 's/^Icon=//p' "$desktop")
for size in 16x16 32x32 48x48 64x64 128x128; do
    [ -s "/usr/share/icons/hicolor/$size/apps/$icon.png" ] || fail "no $size icon $icon.png"
done
[ -s "/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no scalable icon $icon.svg"

# The server as the unit starts it, where systemd is not there to do it: its
# user, its umask, no capabilities, its options file, its state directory
# made as StateDirectory= makes it. The options file lets the system choose
# free ports at each start, and the stations' settings follow them, so that
# tests running at the same time never take each other's ports.
options=$(setting EnvironmentFile | sed 's/^-//')
$SUDO sed -i 's|^ZORSRV_OPTIONS=.*|ZORSRV_OPTIONS="--listen 127.0.0.1:0 --directory 127.0.0.1:0"|' "$options"
service_argv() { # the command line that runs COMMAND as the unit's user, in its settings
    argv=($SUDO setpriv --reuid="$user" --regid="$group" --init-groups --no-new-privs
        --inh-caps=-all --bounding-set=-all
        env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME="$state" LANG=C.UTF-8
        sh -c "umask $(setting UMask); $1")
}
point_at_server() { # point_at_server STATION-FILE...
    $SUDO sed -i -e "s/^TCP_port=.*/TCP_port=$port\r/" -e "s/^VS_port=.*/VS_port=$directory\r/" "$@"
}
start_server() {
    $SUDO install -d -o "$user" -g "$group" -m "$(setting StateDirectoryMode)" "$state"
    # Each program execs the next, so $! is the server (or sudo, which passes signals on).
    service_argv "set -a; . $options; set +a; exec $(setting ExecStart | sed 's|%S|/var/lib|g')"
    "${argv[@]}" >"$work/server.log" 2>&1 &
    server=$!
    for _ in $(seq 100); do
        grep -q 'listening on' "$work/server.log" && break
        kill -0 "$server" 2>/dev/null || break
        sleep 0.1
    done
    expect 'listening on 127.0.0.1:' "$work/server.log" "the server did not start"
    port=$(sed -n 's/.*listening on 127.0.0.1:\([0-9]*\).*/\1/p' "$work/server.log")
    directory=$(sed -n 's/.*directory on 127.0.0.1:\([0-9]*\).*/\1/p' "$work/server.log")
    # Without the options, the directory would be on its fixed port.
    [ "$directory" != 20772 ] || fail "the server did not take its options from $options"
    if [ -e "$station" ]; then point_at_server "$station"; fi
}
stop_server() {
    $SUDO kill -TERM "$server"
    local code=0
    wait "$server" || code=$?
    server=""
    [ "$code" = 0 ] || fail "the server ended with $code on SIGTERM"
    expect 'stopped' "$work/server.log" "the server's output on SIGTERM"
}

step "the server, as the service"
station="$work/config/Q.R.S/ZorCFG/zor.ini"
$SUDO install -d -o "$user" -g "$group" -m "$(setting StateDirectoryMode)" "$state"
service_argv "zorsrv agents import --db $state/zorsrv.db --csv /dev/stdin"
run "$work/import.log" "${argv[@]}" <resources/demo/agents.csv
start_server
[ "$($SUDO stat -c '%U %a' "$state/zorsrv.db")" = "$user 600" ] ||
    fail "the database is not the service user's alone: $($SUDO stat -c '%U %a' "$state/zorsrv.db")"

# The stations' settings of this machine point at it, as an administrator
# would set them; a new user's settings are copied from there.
point_at_server /etc/zorcfg/zor.ini
mkdir -m 700 "$work/runtime"
user_env=(env QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$work/config"
    XDG_RUNTIME_DIR="$work/runtime" ZORADM_PASSWORD=SUPER)

step "ZorCFG offscreen, to its login"
run "$work/zorcfg.log" "${user_env[@]}" ZORCFG_EXIT_AT_LOGIN=1 zorcfg
expect 'ZorCFG: login dialog shown' "$work/zorcfg.log" "ZorCFG did not reach its login"
expect "TCP_port=$port" "$station" "the user's station file, copied from /etc/zorcfg/zor.ini"

step "zoradm show and export, then a change"
run "$work/show.log" "${user_env[@]}" zoradm show
expect "127.0.0.1:$port" "$work/show.log" "zoradm show's source"
expect "Sophie Martin" "$work/show.log" "zoradm show's agents, from the directory"
"${user_env[@]}" zoradm export --csv - >"$work/export.csv" 2>"$work/export.err" || {
    cat "$work/export.err" >&2
    fail "zoradm export --csv -"
}
expect "Agent,Name,Droit_Modif_Group," "$work/export.csv" "the CSV's header"
expect "5,Nicolas Petit," "$work/export.csv" "the CSV's row of agent 5"
# A language is accepted only when its file is in the program folder.
run "$work/set.log" "${user_env[@]}" zoradm set langue=1 --dry-run
run "$work/set.log" "${user_env[@]}" zoradm set TauxActiviteT1=25

step "backing up the live database, then restoring it"
run "$work/backup.log" $SUDO sqlite3 "$state/zorsrv.db" ".backup $work/backup.db"
run "$work/set.log" "${user_env[@]}" zoradm set TauxActiviteT1=30
stop_server
$SUDO rm -f "$state/zorsrv.db-wal" "$state/zorsrv.db-shm"
$SUDO install -o "$user" -g "$group" -m 600 "$work/backup.db" "$state/zorsrv.db"
start_server
run "$work/show.log" "${user_env[@]}" zoradm show
expect -E "^TauxActiviteT1 +25$" "$work/show.log" "the restored setting"
stop_server

step "upgrading keeps the database"
run "$work/upgrade.log" apt install --reinstall "${debs[@]}"
stop_service
start_server
run "$work/show.log" "${user_env[@]}" zoradm show
expect -E "^TauxActiviteT1 +25$" "$work/show.log" "the setting after the upgrade"
stop_server

step "removing keeps the database"
run "$work/remove.log" apt remove zorcfg zorsrv
[ ! -e /usr/sbin/zorsrv ] || fail "/usr/sbin/zorsrv is still there after the removal"
$SUDO test -s "$state/zorsrv.db" || fail "the removal deleted $state/zorsrv.db"

step "purging deletes it, and says so"
run "$work/purge.log" apt purge zorcfg zorsrv
installed=0
expect "deleting the configuration database in $state" "$work/purge.log" "the purge's message"
[ ! -e "$state" ] || fail "the purge left $state"
[ ! -e "$options" ] || fail "the purge left $options"
[ ! -e /etc/zorcfg ] || fail "the purge left /etc/zorcfg"

echo "package test: passed in $((SECONDS - started)) s"
