#!/usr/bin/env bash
# Builds the Debian package and its -dbgsym package from the build folder
# into OUTPUT_DIR (the other package tests read them there).
# Usage: build_deb.sh BUILD_DIR OUTPUT_DIR
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
dbgsyms=("$out"/kestrin-music-editor-dbgsym_*.ddeb)
if (( ${#debs[@]} != 1 || ${#dbgsyms[@]} != 1 )); then
  echo "expected one .deb and one -dbgsym .ddeb in $out, found ${#debs[@]} and ${#dbgsyms[@]}" >&2
  exit 1
fi
echo "built $(basename "${debs[0]}") and $(basename "${dbgsyms[0]}")"
