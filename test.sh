#!/usr/bin/env bash
# Installs what is missing, builds every configuration and runs every test headless.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1}
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

status=0
# Builds one configuration and runs its tests; a failure is remembered, not fatal, so
# every configuration reports.
run_config() { # name, cmake options...
  local dir=build/$1; shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  echo "== tests: $dir"
  ctest --test-dir "$dir" -j "$jobs" --output-on-failure --timeout 300 || status=1
}

run_config normal -DCMAKE_BUILD_TYPE=RelWithDebInfo
run_config asan -DCMAKE_BUILD_TYPE=Debug -DDSPTUNE_CORE_ONLY=ON -DDSPTUNE_SANITIZE=address,undefined
run_config tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDSPTUNE_CORE_ONLY=ON -DDSPTUNE_SANITIZE=thread

exit $status
