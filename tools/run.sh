#!/usr/bin/env bash
# Installs what is needed, builds, and starts ZorCFG against a local zorsrv.
#
# The demo keeps its state in one per-user folder, kept across runs so that a
# second run shows what the first one saved:
#   ${XDG_DATA_HOME:-~/.local/share}/zorcfg-demo/
#     zorsrv.sqlite                          the server's database
#     config/Q.R.S/ZorCFG/zor.ini            the station file, pointing at it
#     screenshots/                           the windows, when there is no display
# ZOR_DEMO_PORT chooses the server's port (default 32000, at most 32767).
set -euo pipefail
cd "$(dirname "$0")/.."

port="${ZOR_DEMO_PORT:-32000}"
demo="${XDG_DATA_HOME:-$HOME/.local/share}/zorcfg-demo"

tools/deps.sh
cmake -S . -B build/run -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZOR_TESTS=OFF >/dev/null

mkdir -p "$demo"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    cmake --build build/run -j "$(nproc)" --target zor_screenshots zor_resources
    echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): ZorCFG is a desktop"
    echo "program and cannot be shown here. Rendering its windows to PNG files instead."
    build/run/bin/zor_screenshots "$demo/screenshots" 2>/dev/null
    echo "The windows are in $demo/screenshots/<language>/ (fr, en, de)."
    exit 0
fi

cmake --build build/run -j "$(nproc)" --target ZorCFG zorsrv zor_resources

if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
    echo "Port $port on 127.0.0.1 is already taken by another program: the demo server"
    echo "cannot start there. Stop that program, or choose another port: ZOR_DEMO_PORT=<port> $0"
    exit 1
fi

# A first run gets a demo table of agents; a table changed since is kept.
case "$(build/run/bin/zorsrv agents list --db "$demo/zorsrv.sqlite" 2>/dev/null | tail -n 1)" in
"" | "0 agents") build/run/bin/zorsrv agents import --db "$demo/zorsrv.sqlite" --csv resources/demo/agents.csv >/dev/null ;;
esac
log="$demo/zorsrv.log"
build/run/bin/zorsrv --db "$demo/zorsrv.sqlite" --listen "127.0.0.1:$port" >"$log" 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
    if grep -q "listening on" "$log"; then break; fi
    if ! kill -0 "$server" 2>/dev/null; then break; fi
    sleep 0.1
done
if ! grep -q "listening on" "$log"; then
    echo "The demo server did not start on 127.0.0.1:$port; ZorCFG is not started. Its output:"
    cat "$log"
    exit 1
fi

station="$demo/config/Q.R.S/ZorCFG/zor.ini"
mkdir -p "$(dirname "$station")"
# ZorCFG itself writes only VS_addr here; the rest follows the demo's port.
printf '[AGENT]\r\nLangue=0\r\n[VOICE_SERVER]\r\nVS_addr=127.0.0.1\r\nRecv_timeout=10\r\n[CONFIG]\r\nServer_Tcp=1\r\nTCP_port=%s\r\n' \
    "$port" >"$station"

echo "Server: 127.0.0.1:$port, database $demo/zorsrv.sqlite"
echo "Station file: $station"
echo "The supervisor password of a fresh installation is SUPER."
XDG_CONFIG_HOME="$demo/config" build/run/bin/ZorCFG
