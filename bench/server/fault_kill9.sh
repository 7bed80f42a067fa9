#!/usr/bin/env bash
# Kills zorsrv with SIGKILL in the middle of acknowledged writes, again and
# again, and checks after each restart that every acknowledged write is still
# there; at the end the file must pass PRAGMA integrity_check.
#   bench/server/fault_kill9.sh [BUILD_DIR] [KILLS] [CLIENTS]
set -euo pipefail
cd "$(dirname "$0")/../.."
build="${1:-build/test}"
kills="${2:-10}"
clients="${3:-8}"
zorsrv="$build/bin/zorsrv"
writer="$build/bin/bench_zorsrv"
for f in "$zorsrv" "$writer"; do
    [ -x "$f" ] || { echo "fault_kill9: $f not built"; exit 2; }
done

work=$(mktemp -d)
server=""
load=""
cleanup() {
    [ -n "$load" ] && kill -9 "$load" 2>/dev/null || true
    [ -n "$server" ] && kill -9 "$server" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
db="$work/fault.db"

start_server() {
    "$zorsrv" --db "$db" --listen 127.0.0.1:0 >"$work/out" 2>>"$work/err" &
    server=$!
    port=""
    for _ in $(seq 1 300); do
        port=$(sed -n 's/^zorsrv: listening on .*:\([0-9]*\)$/\1/p' "$work/out")
        [ -n "$port" ] && return 0
        sleep 0.1
    done
    echo "fault_kill9: zorsrv did not start"; cat "$work/err"; exit 1
}

# Every record's stored sequence must be at least its last acknowledged one.
verify() {
    "$zorsrv" dump --db "$db" >"$work/dump"
    awk '
        FNR == NR { if ($1 == "ack" && $3 > acked[$2]) acked[$2] = $3; next }
        /^agent [0-9]+ \(record [0-9]+\)/ { record = $4; sub(/\)$/, "", record) }
        /^  password: "seq-/ { s = $2; gsub(/[^0-9]/, "", s); stored[record] = s + 0 }
        END {
            lost = 0
            for (r in acked) if (stored[r] + 0 < acked[r] + 0) {
                printf "record %s: stored %d, acknowledged %d\n", r, stored[r], acked[r]; lost++
            }
            exit lost > 0
        }' "$work/acks" "$work/dump"
}

: >"$work/acks"
start_server
for round in $(seq 1 "$kills"); do
    "$writer" --writer "$port" "$clients" >>"$work/acks" &
    load=$!
    sleep "0.$((RANDOM % 9 + 1))"
    kill -9 "$server"
    wait "$server" 2>/dev/null || true
    wait "$load" 2>/dev/null || true
    load=""
    start_server
    verify || { echo "fault_kill9: acknowledged writes lost after kill $round"; exit 1; }
done
kill -TERM "$server"
wait "$server"
server=""
integrity=$(sqlite3 "$db" "PRAGMA integrity_check")
acks=$(grep -c '^ack' "$work/acks" || true)
echo "fault_kill9: $kills kills, $acks acknowledged writes, 0 lost, integrity_check: $integrity"
[ "$integrity" = "ok" ]
