#!/usr/bin/env bash
# Installs the Debian packages dsptune builds and tests with. Idempotent: when
# everything is present it only runs dpkg-query and returns.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libhidapi-dev libudev-dev
  libgtest-dev libgmock-dev libbenchmark-dev libexpat1-dev
  clang libclang-rt-14-dev lld
  qt6-svg-dev qt6-translations-l10n nlohmann-json3-dev
  libceres-dev
  python3-numpy python3-scipy
  desktop-file-utils appstream
  xvfb xauth fonts-noto-cjk
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "installing: ${missing[*]}" >&2
sudo_cmd=()
[[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q </dev/null
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" </dev/null
