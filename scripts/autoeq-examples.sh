#!/usr/bin/env bash
# Fits the example measurements the way README.md shows, prints each command with its
# report (for the README) and redraws the pictures (docs/autoeq/*.png). Run it after a
# change to the fit or to the plot, and look at the pictures before committing them.
#   scripts/autoeq-examples.sh [BUILD_DIR]        BUILD_DIR: default build/normal
set -euo pipefail
cd "$(dirname "$0")/.."
cli=${1:-build/normal}/tools/dsptune-cli
examples=examples/measurements
out=docs/autoeq
[[ -x $cli ]] || { echo "no $cli: build dsptune-cli first" >&2; exit 1; }
mkdir -p "$out"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# fit NAME ARGS...: the command and its report on stdout, the graph in docs/autoeq/NAME.png.
fit() {
  local name=$1
  shift
  echo "\$ dsptune-cli autoeq $* --plot $name.png -o $name.mode"
  # The report (standard output) first, then the lines on standard error, as a terminal shows them.
  (cd "$examples" && "$OLDPWD/$cli" autoeq "$@" --plot "$scratch/$name.png" -o "$scratch/$name.mode" 2>"$scratch/err")
  sed -e "s|$scratch/||g" "$scratch/err"
  cp "$scratch/$name.png" "$out/$name.png"
  echo
}

fit living-room living-room-left.txt living-room-right.csv --eq 7 --target house:4,120,-0.3 --max-boost 3
fit theatre-sub theatre-sub.txt --eq 12 --range 20-200
