#!/usr/bin/env bash
# Writes a broken copy of a source file: apply_mutant.sh SCRIPT.sed SOURCE COPY.
# Fails when the sed script no longer changes the source.
set -euo pipefail
script=$1
source=$2
copy=$3
mkdir -p "$(dirname "$copy")"
sed -f "$script" "$source" >"$copy.new"
if cmp -s "$source" "$copy.new"; then
  rm -f "$copy.new"
  echo "mutant $(basename "$script" .sed) no longer applies to $source" >&2
  exit 2
fi
mv "$copy.new" "$copy"
