#!/usr/bin/env bash
# Builds a Release configuration with the benchmarks and runs them. Prints the cost of
# one band response relative to a bare loop of the same libm calls on the same grid.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DDSPTUNE_BUILD_BENCH=ON -DDSPTUNE_BUILD_TESTS=OFF >/dev/null
cmake --build build/release -j "$(nproc)" --target dsptune_bench dsptune_ui_bench dsptune_eqpanel_bench dsptune_dragsend_bench
out=$(mktemp)
trap 'rm -f "$out"' EXIT
build/release/bench/dsptune_bench --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
  --benchmark_format=console "$@" | tee "$out"
# Median lines look like: BM_Name_median  <time> ns  <cpu> ns  <iterations>
awk '
  /^BM_ComputeBandResponse_median/ { band = $4 }
  /^BM_BareLibmLoop_median/ { bare = $4 }
  END {
    if (band != "" && bare != "")
      printf "\nband response / bare libm loop (CPU, median): %.2f (target <= 1.50)\n", band / bare
  }' "$out"
# Reconcile lines carry their counters: ... frames=8 full_write_frames=64 k=8
awk '
  /^BM_ReconcileFrames\/[0-9]+_median/ {
    for (i = 1; i <= NF; ++i) { split($i, kv, "="); if (kv[1] == "frames") f = kv[2]; if (kv[1] == "k") k = kv[2] }
    line = line sprintf(" k=%s: %s", k, f)
  }
  END { if (line != "") printf "reconcile frames for k changed parameters:%s (target <= k + 1; a write job takes 64)\n", line }' "$out"
awk '/^BM_AutoEqFit15Bands_median/ { printf "auto EQ fit, 15 bands over 20 Hz-20 kHz at 1/48 octave: %s %s (target <= 500 ms)\n", $4, $5 }' "$out"
awk '/^BM_AbSwitch.*_median/ { for (i = 1; i <= NF; ++i) if ($i ~ /^ratio_to_round_trips=/) printf "A/B switch %s: %s x the round trips of its frames (target <= 1.50)\n", $1, substr($i, 22) }' "$out"

echo
echo "== front end (offscreen, emulator on loopback)"
QT_QPA_PLATFORM=offscreen build/release/bench/dsptune_ui_bench

echo
echo "== EQ graph drag step (offscreen)"
QT_QPA_PLATFORM=offscreen build/release/bench/dsptune_eqpanel_bench
echo
echo "== sends during a drag (offscreen, emulator on loopback)"
QT_QPA_PLATFORM=offscreen build/release/bench/dsptune_dragsend_bench
