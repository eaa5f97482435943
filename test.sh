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
# every configuration reports. With `--target T` before the name only T and what it
# needs is built.
run_config() { # [--target T] name, cmake options...
  local target=()
  if [[ $1 == --target ]]; then
    target=(--target "$2")
    shift 2
  fi
  local dir=build/$1; shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$jobs" "${target[@]}"
  echo "== tests: $dir"
  ctest --test-dir "$dir" -j "$jobs" --output-on-failure --timeout 300 || status=1
}

# A folder configured with another compiler would keep it: CMake does not switch an
# existing build's compiler.
fresh_for_compiler() { # name, compiler
  local cache=build/$1/CMakeCache.txt
  [[ -f $cache ]] || return 0
  local have
  have=$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$cache")
  [[ "$(realpath -m "$have")" == "$(realpath -m "$2")" ]] || rm -rf "build/$1"
}

run_config normal -DCMAKE_BUILD_TYPE=RelWithDebInfo

# AddressSanitizer and UndefinedBehaviorSanitizer with clang, which can also check float to
# integer conversions, over the core and the front end, and the fuzz targets. Only the
# tests and what they link are built (tests/all: no application, tools or benchmarks).
clangxx=$(command -v clang++)
asan_options=(-DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER="$clangxx"
              -DDSPTUNE_SANITIZE=address,undefined,float-cast-overflow -DDSPTUNE_FUZZ=ON)
# lld links the many sanitizer test programs much faster than ld.bfd; used when present.
if command -v ld.lld >/dev/null; then
  asan_options+=(-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld)
else
  asan_options+=(-DCMAKE_EXE_LINKER_FLAGS=)
fi
fresh_for_compiler asan "$clangxx"
run_config --target tests/all asan "${asan_options[@]}"

run_config tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDSPTUNE_CORE_ONLY=ON -DDSPTUNE_SANITIZE=thread

exit $status
