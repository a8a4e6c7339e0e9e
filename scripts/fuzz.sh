#!/usr/bin/env bash
# Fuzzes the readers of untrusted input with libFuzzer:
#   scripts/fuzz.sh SECONDS [target...]      (default: every target)
# Builds the fuzz tree (clang) in build-fuzz/, replays the crash inputs kept
# in fuzz/regressions/<target>/, makes fresh seeds, then runs each target for
# SECONDS, one after another in a single process (the machine is shared). A
# new crash, leak, timeout or out-of-memory input is kept in
# fuzz/regressions/<target>/; the script fails when any replay or run fails.
set -euo pipefail
cd "$(dirname "$0")/.."

# Every fuzz/*.cpp but the shared support is a target (fuzz/CMakeLists.txt).
mapfile -t all_targets < <(cd fuzz && ls ./*.cpp | sed 's|^\./||; s|\.cpp$||' | grep -vx fuzz_support)
if [ $# -lt 1 ] || ! [[ $1 =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: $0 SECONDS [target...]   targets: ${all_targets[*]}" >&2
  exit 2
fi
seconds=$1
shift
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all_targets[@]}")
for target in "${targets[@]}"; do
  [[ " ${all_targets[*]} " == *" $target "* ]] || { echo "unknown target: $target" >&2; exit 2; }
done

build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja \
  -DCSPTRIL_BUILD_FUZZERS=ON -DCSPTRIL_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target "${targets[@]}"
bash fuzz/make-seeds.sh "$build/fuzz-seeds" "$build"

# A smaller quarantine than AddressSanitizer's default keeps OpenSSL's many
# small allocations fast; a freed block is still caught for megabytes after.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=16}
# Per input: a reader that takes longer or more memory than this is a fault.
limits=(-timeout=20 -rss_limit_mb=2048)

failed=()
for target in "${targets[@]}"; do
  binary=$build/fuzz/$target
  regressions=fuzz/regressions/$target
  corpus=$build/fuzz-corpus/$target
  log=$build/fuzz-logs/$target.log
  mkdir -p "$regressions" "$corpus" "$(dirname "$log")"

  mapfile -t kept < <(find "$regressions" -type f ! -name '.*' | sort)
  if [ ${#kept[@]} -gt 0 ]; then
    if "$binary" "${limits[@]}" "${kept[@]}" </dev/null >"$log.replay" 2>&1; then
      echo "$target: ${#kept[@]} regression input(s) replayed"
    else
      echo "$target: a regression input fails again (see $log.replay)"
      failed+=("$target")
      continue
    fi
  fi

  dict=()
  [ -f "fuzz/$target.dict" ] && dict=(-dict="fuzz/$target.dict")
  status=0
  "$binary" "${limits[@]}" "${dict[@]}" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$regressions/" "$corpus" "$build/fuzz-seeds/$target" \
    </dev/null >"$log" 2>&1 || status=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  if [ "$status" -eq 0 ]; then
    echo "$target: $(grep '^Done ' "$log" | tail -n 1)"
  else
    echo "$target: FAILED after ${runs:-?} runs (exit $status); input kept in $regressions/:"
    grep -E '^(==[0-9]+==ERROR|SUMMARY|artifact_prefix|Test unit written)' "$log" | head -n 5
    failed+=("$target")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing failed: ${failed[*]} (logs in $build/fuzz-logs/)" >&2
  exit 1
fi
