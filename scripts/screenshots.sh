#!/usr/bin/env bash
# Pictures of every page and dialog in both languages, for a look at the interface
# without a display: against the emulator, under Xvfb, at window sizes 1024x600,
# 1366x768 and 1400x900, once at normal scale (screenshots/) and once with the
# interface scaled 2x as on a high-density screen (screenshots/scale2/).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build/normal -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/normal -j "$(nproc)" --target dsptune dsptune-sim

mkdir -p build/demo
sim_log=build/demo/screenshots-sim.log
build/normal/tools/dsptune-sim --port 0 >"$sim_log" 2>&1 &
sim_pid=$!
trap 'kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null || true' EXIT
port=""
for _ in $(seq 50); do
  port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$sim_log")
  [[ -n "$port" ]] && break
  sleep 0.1
done
[[ -n "$port" ]] || { echo "the emulator did not start" >&2; exit 1; }

# A copy of its own (another instance name), so a window already open is not asked.
shoot() { # folder, screen, extra environment...
  local folder=$1 screen=$2; shift 2
  rm -rf "$folder"
  env "$@" xvfb-run -a -s "-screen 0 ${screen}x24" \
    build/normal/app/dsptune --instance-name dsptune-screenshots --connect "127.0.0.1:$port" --screenshots "$folder"
}
shoot screenshots 1400x900
shoot screenshots/scale2 2880x1800 QT_SCALE_FACTOR=2
find screenshots -name '*.png' | sort
