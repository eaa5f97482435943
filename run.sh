#!/usr/bin/env bash
# Installs what is missing, builds, starts the device emulator on 127.0.0.1 and talks to
# it: the device's identity, then a read of its whole parameter set into a mode file.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
cmake -S . -B build/normal -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/normal -j "$(nproc)" --target dsptune-cli dsptune-sim

port=${DSPTUNE_SIM_PORT:-30303}
mkdir -p build/demo
sim_log=build/demo/sim.log
build/normal/tools/dsptune-sim --port "$port" --state build/demo/device.state \
  --transcript build/demo/wire.txt >"$sim_log" 2>&1 &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null || true' EXIT

# Wait (at most 5 s) until the emulator listens.
for _ in $(seq 50); do
  grep -q "listening" "$sim_log" && break
  kill -0 "$sim_pid" 2>/dev/null || { cat "$sim_log"; exit 1; }
  sleep 0.1
done
cat "$sim_log"

cli=build/normal/tools/dsptune-cli
echo "== dsptune-cli info --tcp 127.0.0.1:$port"
"$cli" info --tcp "127.0.0.1:$port" 2>&1 | grep -v " chunk "
echo "== dsptune-cli read --tcp 127.0.0.1:$port -o build/demo/device.mode"
"$cli" read --tcp "127.0.0.1:$port" -o build/demo/device.mode 2>&1 | grep -v " chunk "
echo "== dsptune-cli show build/demo/device.mode (first lines)"
"$cli" show build/demo/device.mode | head -n 12
echo "(the whole set: $cli show build/demo/device.mode; the emulator's transcript: build/demo/wire.txt)"
