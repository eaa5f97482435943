#!/usr/bin/env bash
# Builds the Debian package (cpack -G DEB) and checks it the way a distribution would:
# its control data and file list, that every listed file unpacks (dpkg -x), that the
# programs are stripped, and, when installed, lintian (no errors), desktop-file-validate
# and appstreamcli validate --no-net.
#   scripts/package.sh [BUILD_DIR]     (default build/package)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build/package}

cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDSPTUNE_BUILD_TESTS=OFF >/dev/null
cmake --build "$dir" -j "$(nproc)"
rm -f "$dir"/dsptune_*.deb
(cd "$dir" && cpack -G DEB >cpack.log 2>&1) || { cat "$dir/cpack.log"; exit 1; }
deb=$(ls "$dir"/dsptune_*.deb)

status=0
fail() { echo "FAIL: $*"; status=1; }

echo "== $deb: $(stat -c %s "$deb") bytes"
dpkg-deb -I "$deb"
echo "== contents"
dpkg-deb -c "$deb"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg -x "$deb" "$scratch/root"
listed=0
while read -r mode _ _ _ _ path _; do
  listed=$((listed + 1))
  [[ -e $scratch/root/$path || -L $scratch/root/$path ]] || fail "listed but not unpacked: $path"
  [[ $mode == d* || $mode == l* ]] && continue
  case $path in
    ./usr/bin/*)
      readelf -S "$scratch/root/$path" | grep -Eq '\.(symtab|debug_info)' && fail "not stripped: $path" ;;
  esac
done < <(dpkg-deb -c "$deb")
echo "== $listed entries listed, all unpacked"

if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$scratch/root/usr/share/applications/dsptune.desktop" && echo "desktop-file-validate: ok" ||
    fail "desktop-file-validate"
else
  echo "desktop-file-validate not installed (desktop-file-utils): skipped"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$scratch"/root/usr/share/metainfo/*.metainfo.xml || fail "appstreamcli validate"
else
  echo "appstreamcli not installed (appstream): skipped"
fi
if command -v lintian >/dev/null; then
  echo "== lintian"
  lintian --fail-on error --display-info "$deb" || fail "lintian found errors"
else
  echo "lintian not installed: skipped"
fi
exit $status
