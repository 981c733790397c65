#!/usr/bin/env bash
# Checks that the Debian package holds the programs, stripped, their manual
# pages (compressed), the copyright file and changelog, the desktop entry,
# the metainfo and the icon at every size, each a picture of that size; that
# dpkg-shlibdeps filled its Depends line and crash reporting's helpers are
# recommended; and that the -dbgsym package holds a debug file for each
# program's build-id.
# Usage: check_deb.sh DEB DBGSYM_DEB
set -euo pipefail
deb=$1
dbgsym=$2
contents=$(dpkg-deb --contents "$deb" | awk '{print $NF}')

expected=(
  ./usr/bin/kestrin-music-editor
  ./usr/bin/kestrin-crash-report
  ./usr/bin/kestrin-rom
  ./usr/share/applications/kestrin-music-editor.desktop
  ./usr/share/metainfo/org.kestrin.MusicEditor.metainfo.xml
  ./usr/share/man/man1/kestrin-music-editor.1.gz
  ./usr/share/man/man1/kestrin-crash-report.1.gz
  ./usr/share/man/man1/kestrin-rom.1.gz
  ./usr/share/doc/kestrin-music-editor/copyright
  ./usr/share/doc/kestrin-music-editor/changelog.gz
)
for size in 16 32 48 64 128 256; do
  expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/kestrin-music-editor.png")
done

missing=0
for file in "${expected[@]}"; do
  if ! grep -qxF "$file" <<<"$contents"; then
    echo "missing from the package: $file" >&2
    missing=1
  fi
done
depends=$(dpkg-deb --field "$deb" Depends)
for library in libc6 libqt6widgets6 zlib1g; do
  if ! grep -q "$library" <<<"$depends"; then
    echo "Depends lacks $library: $depends" >&2
    missing=1
  fi
done
recommends=$(dpkg-deb --field "$deb" Recommends)
if [[ $recommends != "binutils, xdg-utils" ]]; then
  echo "Recommends is not \"binutils, xdg-utils\": $recommends" >&2
  missing=1
fi

unpacked=$(mktemp -d /tmp/kestrin-deb-check.XXXXXX)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
# Each icon is a picture of the size its folder names.
for size in 16 32 48 64 128 256; do
  icon=$unpacked/usr/share/icons/hicolor/${size}x${size}/apps/kestrin-music-editor.png
  if [[ -f $icon ]] && ! file "$icon" | grep -qF "PNG image data, $size x $size,"; then
    echo "the ${size}x${size} icon is not a $size by $size picture: $(file -b "$icon")" >&2
    missing=1
  fi
done
debug_files=$(dpkg-deb --contents "$dbgsym" | awk '{print $NF}')
for program in kestrin-music-editor kestrin-crash-report kestrin-rom; do
  binary=$unpacked/usr/bin/$program
  if readelf -S "$binary" | grep -qE '\.(debug_info|symtab)'; then
    echo "$program is not stripped" >&2
    missing=1
  fi
  id=$(readelf -n "$binary" | sed -n 's/.*Build ID: \([0-9a-f]*\).*/\1/p')
  if ! grep -qxF "./usr/lib/debug/.build-id/${id:0:2}/${id:2}.debug" <<<"$debug_files"; then
    echo "the -dbgsym package has no debug file for $program (build-id $id)" >&2
    missing=1
  fi
done

if (( missing )); then
  echo "package contents:" >&2
  echo "$contents" >&2
  exit 1
fi
echo "$(basename "$deb"): ${#expected[@]} files checked, 3 programs stripped with their debug files in" \
  "$(basename "$dbgsym"); Depends: $depends; Recommends: $recommends"
