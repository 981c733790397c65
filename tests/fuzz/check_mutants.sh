#!/usr/bin/env bash
# Shows that the fuzzer finds broken write-backs: the fuzz build holds one
# fuzzer per sed script in tests/fuzz/mutants/, each against a deliberately
# wrong copy of model/part_streams.cpp; each is fuzzed from the seed corpus
# for at most 60 seconds. Every one must be found; the seconds each took are
# printed. Needs clang (the fuzz preset).
#
#   tests/fuzz/check_mutants.sh            # all of them
#   tests/fuzz/check_mutants.sh never-stores
set -euo pipefail
cd "$(dirname "$0")/../.."
build=build/fuzz
work="$build/mutants"
limit=60

mutants=("$@")
if ((${#mutants[@]} == 0)); then
  for script in tests/fuzz/mutants/*.sed; do mutants+=("$(basename "$script" .sed)"); done
fi
for name in "${mutants[@]}"; do
  if [[ ! -f tests/fuzz/mutants/$name.sed ]]; then
    echo "no mutant $name in tests/fuzz/mutants/" >&2
    exit 2
  fi
done

[[ -f $build/build.ninja ]] || cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target kestrin-fuzz-seeds "${mutants[@]/#/kestrin-model-fuzzer-}"

failed=0
for name in "${mutants[@]}"; do
  corpus="$work/$name/corpus"
  rm -rf "$corpus" && mkdir -p "$corpus"
  "$build/tests/fuzz/kestrin-fuzz-seeds" "$corpus"

  start=$(date +%s%N)
  set +e
  "$build/tests/fuzz/kestrin-model-fuzzer-$name" -max_total_time=$limit -max_len=393248 -timeout=30 \
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
