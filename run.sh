#!/usr/bin/env bash
# Installs what is missing, builds, starts the device emulator on a free loopback port
# and the dsptune window connected to it. Without a display the window runs under Xvfb,
# saves screenshots of itself in both languages to screenshots/ once it is synchronised,
# (every page and dialog, both languages, at 1024x600 and 1400x900) and exits.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
cmake -S . -B build/normal -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/normal -j "$(nproc)" --target dsptune dsptune-cli dsptune-sim

mkdir -p build/demo
sim_log=build/demo/sim.log
build/normal/tools/dsptune-sim --port "${DSPTUNE_SIM_PORT:-0}" --state build/demo/device.state \
  --transcript build/demo/wire.txt >"$sim_log" 2>&1 &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null || true' EXIT

# Wait (at most 5 s) until the emulator listens, and learn its port.
port=""
for _ in $(seq 50); do
  port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$sim_log")
  [[ -n "$port" ]] && break
  kill -0 "$sim_pid" 2>/dev/null || { cat "$sim_log"; exit 1; }
  sleep 0.1
done
[[ -n "$port" ]] || { echo "the emulator did not start" >&2; exit 1; }
echo "device emulator on 127.0.0.1:$port (transcript: build/demo/wire.txt)"
# The window reconnects by itself: stop the emulator (kill PID) and start it again on
# the same port with the command below, and the window finds it within seconds.
echo "emulator pid $sim_pid; to start it again on the same port:" \
  "build/normal/tools/dsptune-sim --port $port --state build/demo/device.state"

if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
  build/normal/app/dsptune --connect "127.0.0.1:$port" "$@"
else
  echo "no display: running under Xvfb and saving screenshots to screenshots/"
  xvfb-run -a -s "-screen 0 1400x900x24" \
    build/normal/app/dsptune --connect "127.0.0.1:$port" --screenshots screenshots "$@"
  find screenshots -name '*.png' | sort
fi
