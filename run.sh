#!/usr/bin/env bash
# Installs what is missing, builds, and shows the default parameter set.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
cmake -S . -B build/normal -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/normal -j "$(nproc)" --target dsptune-cli
exec build/normal/tools/dsptune-cli show "$@"
