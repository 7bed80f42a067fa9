#!/usr/bin/env bash
# Installs what is needed, builds, and starts ZorCFG on its embedded default:
# the program folder's zor.ini names a configuration server on 127.0.0.1:32000,
# so a local zorsrv with its own database is started first (and stopped after).
set -euo pipefail
cd "$(dirname "$0")/.."

tools/deps.sh
cmake -S . -B build/run -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZOR_TESTS=OFF >/dev/null
cmake --build build/run -j "$(nproc)" --target ZorCFG zorsrv zor_resources

state="$PWD/build/run/state"
mkdir -p "$state/config" "$state/data" "$state/runtime"
chmod 700 "$state/runtime"
export XDG_CONFIG_HOME="$state/config"
export XDG_DATA_HOME="$state/data"
export XDG_RUNTIME_DIR="$state/runtime"

# A first run gets a demo table of agents; a table changed since is kept.
case "$(build/run/bin/zorsrv agents list --db "$state/data/zorsrv.sqlite" 2>/dev/null | tail -n 1)" in
"" | "0 agents") build/run/bin/zorsrv agents import --db "$state/data/zorsrv.sqlite" --csv resources/demo/agents.csv >/dev/null ;;
esac
build/run/bin/zorsrv --db "$state/data/zorsrv.sqlite" --listen 127.0.0.1:32000 &
server=$!
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
    if (exec 3<>/dev/tcp/127.0.0.1/32000) 2>/dev/null; then break; fi
    sleep 0.1
done

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: running under xvfb-run."
    xvfb-run -a build/run/bin/ZorCFG "$@"
else
    build/run/bin/ZorCFG "$@"
fi
