#!/usr/bin/env bash
# Fuzzes one target for longer than the test run does:
#
#   scripts/fuzz.sh TARGET [SECONDS]
#
# TARGET is frame_assembler, network_receive, dispatcher, usb_reports, mode_file or
# remote_file (tests/fuzz/); SECONDS defaults to 600. Builds the target in build/asan, the
# clang sanitizer configuration of test.sh, and fuzzes the copy of its seed corpus in that
# folder, so new inputs are kept for the next run and tests/fuzz/corpus is never written.
# A failing input is left in build/asan/tests/fuzz/work/TARGET/artifacts/; run it again
# with build/asan/tests/fuzz/fuzz_TARGET FILE.
set -euo pipefail
cd "$(dirname "$0")/.."

if [[ $# -lt 1 || $# -gt 2 || ! $1 =~ ^[a-z_]+$ || ! -d tests/fuzz/corpus/$1 ]]; then
  echo "usage: scripts/fuzz.sh TARGET [SECONDS]; TARGET one of: $(ls tests/fuzz/corpus | tr '\n' ' ')" >&2
  exit 2
fi
target=$1
seconds=${2:-600}
if [[ ! $seconds =~ ^[1-9][0-9]*$ ]]; then
  echo "scripts/fuzz.sh: SECONDS must be a whole number above 0, not '$seconds'" >&2
  exit 2
fi

./scripts/install-deps.sh
# The same configuration as the asan one of test.sh (a folder made with another compiler
# is started afresh, as there).
clangxx=$(command -v clang++)
if [[ -f build/asan/CMakeCache.txt ]]; then
  have=$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' build/asan/CMakeCache.txt)
  [[ "$(realpath -m "$have")" == "$(realpath -m "$clangxx")" ]] || rm -rf build/asan
fi
linker=(-DCMAKE_EXE_LINKER_FLAGS=)
command -v ld.lld >/dev/null && linker=(-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld)
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER="$clangxx" \
  -DDSPTUNE_SANITIZE=address,undefined,float-cast-overflow -DDSPTUNE_FUZZ=ON "${linker[@]}" >/dev/null
cmake --build build/asan -j "$(nproc)" --target "fuzz_$target"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
env -u DSPTUNE_FUZZ_SECONDS cmake -DFUZZER="$PWD/build/asan/tests/fuzz/fuzz_$target" \
  -DSEEDS="$PWD/tests/fuzz/corpus/$target" -DWORK="$PWD/build/asan/tests/fuzz/work/$target" \
  -DSECONDS="$seconds" -P tests/fuzz/RunFuzzer.cmake
