#!/usr/bin/env bash
# Installs a build as `cmake --install` would for a user's own prefix and checks that
# nothing lands outside the prefix (DESTDIR catches absolute destinations without
# touching the system, even as root), that every file a desktop and a terminal need is
# there, and that the desktop entry, the file types and the AppStream data validate
# with whichever validators are installed.
#   install_check.sh BUILD_DIR
set -euo pipefail
build=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
root=$scratch/root
prefix=/opt/dsptune-check   # seen through DESTDIR only
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

DESTDIR=$root cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" ||
  { cat "$scratch/install.log"; fail "cmake --install failed"; exit 1; }

outside=$(cd "$root" && find . \( -type f -o -type l \) ! -path ".$prefix/*")
[[ -z $outside ]] || fail "installed outside the prefix: $outside"
p=$root$prefix

expected=(
  bin/dsptune-cli bin/dsptune-sim
  lib/udev/rules.d/70-dsptune.rules
  share/man/man1/dsptune-cli.1.gz share/man/man1/dsptune-sim.1.gz
  share/bash-completion/completions/dsptune-cli
  share/doc/dsptune/copyright share/doc/dsptune/changelog.gz
)
gui=false
[[ -e $p/bin/dsptune ]] && gui=true
if $gui; then
  expected+=(
    share/man/man1/dsptune.1.gz
    share/applications/dsptune.desktop
    share/mime/packages/dsptune.xml
    share/metainfo/org.dsptune.dsptune.metainfo.xml
    share/icons/hicolor/scalable/apps/dsptune.svg
  )
  for size in 16 32 48 64 128 256; do expected+=("share/icons/hicolor/${size}x${size}/apps/dsptune.png"); done
fi
for f in "${expected[@]}"; do [[ -s $p/$f ]] || fail "missing: $f"; done

grep -q 'ATTRS{idVendor}=="2010", ATTRS{idProduct}=="1031"' "$p/lib/udev/rules.d/70-dsptune.rules" ||
  fail "the udev rule does not name the device"
for page in "$p"/share/man/man1/*.gz "$p/share/doc/dsptune/changelog.gz"; do
  gzip -t "$page" || fail "not gzip: $page"
done
bash -n "$p/share/bash-completion/completions/dsptune-cli" || fail "completion: bash syntax"

if $gui; then
  # A PNG's IHDR holds width and height as 32-bit big-endian numbers at bytes 16 and 20.
  for size in 16 32 48 64 128 256; do
    png=$p/share/icons/hicolor/${size}x${size}/apps/dsptune.png
    [[ -s $png ]] || continue
    [[ $(od -An -tx1 -N8 "$png" | tr -d ' \n') == 89504e470d0a1a0a ]] || fail "not a PNG: $png"
    read -r w h < <(od -An -tu1 -j16 -N8 "$png" |
      awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}')
    [[ "$w $h" == "$size $size" ]] || fail "$png is ${w}x${h}"
  done

  desktop=$p/share/applications/dsptune.desktop
  for key in 'GenericName=' 'GenericName\[zh_CN\]=' 'Keywords=' 'Keywords\[zh_CN\]=' 'MimeType='; do
    grep -q "^$key" "$desktop" || fail "desktop entry lacks ${key//\\/}"
  done
  # Every type the entry opens is defined, and the definitions claim both extensions.
  for type in $(sed -n 's/^MimeType=//p' "$desktop" | tr ';' ' '); do
    grep -q "type=\"$type\"" "$p/share/mime/packages/dsptune.xml" || fail "$type is not defined"
  done
  if command -v update-mime-database >/dev/null; then
    cp -r "$p/share/mime" "$scratch/mime"
    update-mime-database "$scratch/mime" >/dev/null 2>&1 || fail "update-mime-database"
    grep -q ':application/x-dsptune-mode:\*\.mode$' "$scratch/mime/globs2" || fail "*.mode is not claimed"
    grep -q ':application/x-dsptune-remote:\*\.remo$' "$scratch/mime/globs2" || fail "*.remo is not claimed"
  fi
  if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate"
  else
    echo "desktop-file-validate not installed (desktop-file-utils): skipped"
  fi
  if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net --pedantic "$p/share/metainfo/org.dsptune.dsptune.metainfo.xml" ||
      fail "appstreamcli validate"
  else
    echo "appstreamcli not installed: skipped"
  fi
fi

echo "$(cd "$root" && find . -type f | wc -l) files installed below $prefix"
[[ $failures -eq 0 ]]
