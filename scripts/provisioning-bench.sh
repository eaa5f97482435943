#!/usr/bin/env bash
# Wall time of provisioning: one mode file written to 20 emulators on loopback at
# --jobs 20, against the same write to one of them. The 20-host run should take at most
# 1.5 times as long as one host (every room has a worker process of its own, and the time
# goes on round trips, not on the processor).
#
#   scripts/provisioning-bench.sh [BUILD_DIR] [HOSTS] [RUNS]
#
# BUILD_DIR holds tools/dsptune-cli and tools/dsptune-sim (default build/normal; built if
# missing); HOSTS defaults to 20, RUNS (timed runs of each, median taken) to 5.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/normal}
hosts=${2:-20}
runs=${3:-5}
if [[ ! -x $build/tools/dsptune-cli || ! -x $build/tools/dsptune-sim ]]; then
  cmake --build "$build" -j2 --target dsptune-cli dsptune-sim
fi
cli=$build/tools/dsptune-cli
sim=$build/tools/dsptune-sim

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Each emulator picks a free port and names it on its first line.
targets=()
for ((i = 0; i < hosts; ++i)); do
  "$sim" --port 0 >"$work/sim$i.txt" 2>&1 &
  pids+=($!)
done
for ((i = 0; i < hosts; ++i)); do
  for ((wait = 0; wait < 50; ++wait)); do
    line=$(head -n1 "$work/sim$i.txt" 2>/dev/null || true)
    [[ $line == *listening* ]] && break
    sleep 0.1
  done
  [[ $line == *listening* ]] || { echo "emulator $i did not start: $line" >&2; exit 1; }
  targets+=(--tcp "${line##* }")
done

"$cli" read -q -o "$work/venue.mode" "${targets[0]}" "${targets[1]}" 2>/dev/null

# Median wall time in seconds of running "$@" RUNS times.
median() {
  local times=()
  for ((r = 0; r < runs; ++r)); do
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; "$@" >&2 || true; exit 1; }
    end=$(date +%s.%N)
    times+=("$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')")
  done
  printf '%s\n' "${times[@]}" | sort -g | awk '{ t[NR] = $1 } END { print t[int((NR + 1) / 2)] }'
}

one=$(median "$cli" write -q "$work/venue.mode" "${targets[0]}" "${targets[1]}")
all=$(median "$cli" write -q "$work/venue.mode" "${targets[@]}" --jobs "$hosts")
printf 'write to 1 host:   %.3f s (median of %d)\n' "$one" "$runs"
printf 'write to %d hosts: %.3f s at --jobs %d (median of %d)\n' "$hosts" "$all" "$hosts" "$runs"
awk -v a="$all" -v o="$one" 'BEGIN { printf "ratio: %.2f (target <= 1.50)\n", a / o }'
