#!/usr/bin/env bash
# Builds the Debian package from the build folder and checks that it holds
# both programs, their manual pages, the desktop entry, the metainfo and the
# icon at every size, and that dpkg-shlibdeps filled its Depends line.
# Usage: check_deb.sh BUILD_DIR OUTPUT_DIR
set -euo pipefail
build=$1
out=$2
rm -rf "$out"
mkdir -p "$out"
(cd "$out" && cpack -G DEB --config "$build/CPackConfig.cmake" >cpack.log 2>&1) || {
  cat "$out/cpack.log" >&2
  exit 1
}
shopt -s nullglob
debs=("$out"/kestrin-music-editor_*.deb)
if (( ${#debs[@]} != 1 )); then
  echo "expected one .deb in $out, found ${#debs[@]}" >&2
  exit 1
fi
deb=${debs[0]}
contents=$(dpkg-deb --contents "$deb" | awk '{print $NF}')

expected=(
  ./usr/bin/kestrin-music-editor
  ./usr/bin/kestrin-crash-report
  ./usr/bin/kestrin-rom
  ./usr/share/applications/kestrin-music-editor.desktop
  ./usr/share/metainfo/org.kestrin.MusicEditor.metainfo.xml
  ./usr/share/man/man1/kestrin-music-editor.1
  ./usr/share/man/man1/kestrin-rom.1
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
if (( missing )); then
  echo "package contents:" >&2
  echo "$contents" >&2
  exit 1
fi
echo "$(basename "$deb"): ${#expected[@]} files checked; Depends: $depends"
