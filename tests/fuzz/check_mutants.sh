#!/usr/bin/env bash
# Shows that the fuzzer finds broken write-backs: builds the fuzzer against
# four deliberately wrong versions of model/part_streams.cpp, one at a time,
# and fuzzes each from the seed corpus for at most 60 seconds. Every one must
# be found; the seconds each took are printed. Needs clang (the fuzz preset).
#
#   tests/fuzz/check_mutants.sh            # all four
#   tests/fuzz/check_mutants.sh never-stores
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
work="$root/build/mutants"
limit=60

# name|sed program applied to model/part_streams.cpp
mutants=(
  'never-stores|s#if (buffers.edit\[k\]\[i\] != buffers.stored\[offsets\[k\] + i\]) image\[base + i\] = buffers.edit\[k\]\[i\];#(void)base;#'
  'drops-edits-but-succeeds|s#^  if (!state.channels) return true;#  return true;#'
  'corrupts-next-byte|s#image\[base + i\] = buffers.edit\[k\]\[i\];#{ image[base + i] = buffers.edit[k][i]; image[base + i + 1] ^= 0x01; }#'
  'square1-at-square2|0,/const auto base = static_cast<std::size_t>(state.streamPosition\[k\]);/s##const auto base = static_cast<std::size_t>(state.streamPosition[k == 0 ? 1 : k]);#'
)

wanted=("$@")
failed=0
for entry in "${mutants[@]}"; do
  name=${entry%%|*}
  program=${entry#*|}
  if ((${#wanted[@]})) && [[ " ${wanted[*]} " != *" $name "* ]]; then continue; fi

  src="$work/$name/src"
  rm -rf "$src" && mkdir -p "$src"
  (cd "$root" && git ls-files -z --cached --others --exclude-standard | xargs -0 cp --parents -t "$src")
  sed -i -e "$program" "$src/model/part_streams.cpp"
  if cmp -s "$root/model/part_streams.cpp" "$src/model/part_streams.cpp"; then
    echo "mutant $name no longer applies to model/part_streams.cpp" >&2
    exit 2
  fi

  (cd "$src" && cmake --preset fuzz >/dev/null &&
    cmake --build --preset fuzz --target kestrin-model-fuzzer kestrin-fuzz-seeds >/dev/null)
  corpus="$work/$name/corpus"
  rm -rf "$corpus" && mkdir -p "$corpus"
  "$src/build/fuzz/tests/fuzz/kestrin-fuzz-seeds" "$corpus"

  start=$(date +%s%N)
  set +e
  "$src/build/fuzz/tests/fuzz/kestrin-model-fuzzer" -max_total_time=$limit -max_len=393248 -timeout=30 \
    -artifact_prefix="$work/$name/" "$corpus" >"$work/$name/fuzz.log" 2>&1
  status=$?
  set -e
  tenths=$((($(date +%s%N) - start) / 100000000))
  seconds="$((tenths / 10)).$((tenths % 10))"
  if ((status != 0)); then
    finding=$(grep -m1 -E 'invariant broken|ERROR: (Address|Undefined|libFuzzer)|runtime error' "$work/$name/fuzz.log" || true)
    printf 'mutant %-26s found after %5s s: %s\n' "$name" "$seconds" "$finding"
  else
    printf 'mutant %-26s NOT found in %d s\n' "$name" "$limit"
    failed=1
  fi
done
exit $failed
