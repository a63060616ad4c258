#!/usr/bin/env bash
# Installs what is missing, builds Kelmon and the test trading server, starts the server with
# its demo trading day on loopback and starts Kelmon pointed at it; the demo account and its
# password are printed. Without a display Kelmon runs under Xvfb (for checking). Closing
# Kelmon stops the server.
#   ./demo.sh
set -euo pipefail
cd "$(dirname "$0")"

source scripts/install-missing.sh
install_missing

cmake --preset default >/dev/null
cmake --build --preset default --target kelmon testserver_app -j "$(nproc)"

# The program reads its installation profile beside itself: a folder of its own for the demo.
run=build/demo
rm -rf "$run"
mkdir -p "$run/plugins"
chmod 755 "$run" "$run/plugins"
cp build/default/kelmon/kelmon "$run/"

log="$run/testserver.log"
# The live market: a few updates per second per contract; KELMON_DEMO_RATE and
# KELMON_DEMO_SEED change its pace and its moves (the same seed gives the same moves).
build/default/testserver/testserver --port 0 --market-rate "${KELMON_DEMO_RATE:-3}" \
    --market-seed "${KELMON_DEMO_SEED:-1}" --level2-port 0 >"$log" 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null || true; wait "$server" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
    grep -q "^demo account" "$log" && break
    kill -0 "$server" 2>/dev/null || { cat "$log" >&2; exit 1; }
    sleep 0.1
done
port=$(sed -n 's/^testserver listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$log")
[ -n "$port" ] || { cat "$log" >&2; exit 1; }
level2=$(sed -n 's/^level-2 server listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$log")
[ -n "$level2" ] || { cat "$log" >&2; exit 1; }

# The profile is GBK text, as an installer writes it.
printf '[TradeServer]\r\nSERVER1=演示服务器,127.0.0.1@%s/tcp\r\n[SYSTEM]\r\nLevel2ControlAddr=127.0.0.1\r\nLevel2ControlPort=%s\r\n' \
    "$port" "$level2" |
    iconv -f UTF-8 -t GBK >"$run/KELMON.INI"

echo "Test trading server on 127.0.0.1:$port, level-2 quote server on 127.0.0.1:$level2"
sed -n 's/^demo account \(.*\), password \(.*\)$/Log in with customer number \1 and password \2/p' "$log"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: Kelmon runs under Xvfb (stop it with Ctrl+C)."
    xvfb-run -a -s "-screen 0 1280x800x24" "$run/kelmon"
else
    "$run/kelmon"
fi
