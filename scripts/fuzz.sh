#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UndefinedBehaviorSanitizer) and
# runs each of them for a given time, then prints per target the executions and the findings.
#
#   scripts/fuzz.sh [seconds-per-target] [target ...]
#
# Targets default to all of fuzz/corpus/*. Each run starts from the repository's seed corpus
# and past findings and adds what it learns to a work corpus under the build folder, so the
# repository's corpus stays small. Settings from the environment:
#   KAVELO_FUZZ_BUILD_DIR   build folder (build-fuzz)
#   KAVELO_FUZZ_PARALLEL    targets run at the same time (1)
#   KAVELO_FUZZ_BUILD_JOBS  compile jobs (2)
#   KAVELO_FUZZ_MERGE=N     afterwards copy up to N new inputs per target that add coverage
#                           beyond the seed corpus into fuzz/corpus/<target>/ (0: none)
# A finding (crash, leak, timeout, out of memory) stops its target; its input is kept in the
# work folder and named in the summary. The exit status is 1 when anything was found.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
shift || true
build_dir="${KAVELO_FUZZ_BUILD_DIR:-build-fuzz}"
parallel="${KAVELO_FUZZ_PARALLEL:-1}"
jobs="${KAVELO_FUZZ_BUILD_JOBS:-2}"
merge="${KAVELO_FUZZ_MERGE:-0}"

if [ "$#" -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for dir in fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
fi

# What each target reads at most, and the dictionary that helps it.
max_len() {
  case "$1" in
    datagram) echo 8400 ;;
    handheld_replies) echo 4096 ;;
    address_text | panel_number) echo 256 ;;
    *) echo 16384 ;;
  esac
}
dictionary() {
  case "$1" in
    rtf_reader | rich_edit) echo fuzz/dict/rtf.dict ;;
    address_text | panel_number) echo fuzz/dict/text.dict ;;
  esac
}

cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DKAVELO_FUZZ=ON -DKAVELO_BUILD_BENCH=OFF >/dev/null
cmake --build "$build_dir" -j "$jobs" --target "${targets[@]/#/fuzz_}"

work="$build_dir/fuzz-work"
export LSAN_OPTIONS="suppressions=$PWD/fuzz/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
run_target() {
  local t="$1"
  local dir="$work/$t"
  mkdir -p "$dir/corpus" "$dir/artifacts"
  local args=(-max_total_time="$seconds" -rss_limit_mb=2048 -timeout=25 -print_final_stats=1
    -max_len="$(max_len "$t")" -artifact_prefix="$dir/artifacts/")
  local dict
  dict="$(dictionary "$t")"
  [ -n "$dict" ] && args+=(-dict="$dict")
  local sources=(fuzz/corpus/"$t")
  [ -d fuzz/crashes/"$t" ] && sources+=(fuzz/crashes/"$t")
  # New inputs go into the first folder only: the work corpus.
  QT_QPA_PLATFORM=offscreen "$build_dir/fuzz/fuzz_$t" "${args[@]}" "$dir/corpus" "${sources[@]}" \
    >"$dir/log.txt" 2>&1 || true
}

start=$(date +%s)
for t in "${targets[@]}"; do
  rm -rf "$work/$t/artifacts"
  # Wait for a free slot.
  while [ "$(jobs -rp | wc -l)" -ge "$parallel" ]; do wait -n || true; done
  echo "fuzzing $t for ${seconds}s"
  run_target "$t" &
done
wait

if [ "$merge" -gt 0 ]; then
  for t in "${targets[@]}"; do
    fresh="$work/$t/merge"
    rm -rf "$fresh" && mkdir -p "$fresh"
    cp fuzz/corpus/"$t"/* "$fresh"/
    "$build_dir/fuzz/fuzz_$t" -merge=1 -max_len="$(max_len "$t")" -rss_limit_mb=2048 \
      "$fresh" "$work/$t/corpus" >"$work/$t/merge.txt" 2>&1 || true
    # The smallest of the inputs that the seeds did not cover, up to the cap.
    added=0
    while read -r file; do
      [ "$added" -ge "$merge" ] && break
      name="$(basename "$file")"
      [ -e fuzz/corpus/"$t"/"$name" ] && continue
      cp "$file" fuzz/corpus/"$t"/"found-${name:0:12}"
      added=$((added + 1))
    done < <(find "$fresh" -type f -printf '%s %p\n' | sort -n | cut -d' ' -f2-)
    echo "$t: $added new inputs merged into fuzz/corpus/$t"
  done
fi

echo
printf '%-18s %14s %10s  %s\n' target executions exec/s findings
status=0
for t in "${targets[@]}"; do
  log="$work/$t/log.txt"
  runs="$(grep -E '^stat::number_of_executed_units:' "$log" | tail -1 | awk '{print $2}')"
  rate="$(grep -E '^stat::average_exec_per_sec:' "$log" | tail -1 | awk '{print $2}')"
  findings="$(find "$work/$t/artifacts" -type f \( -name 'crash-*' -o -name 'leak-*' \
    -o -name 'timeout-*' -o -name 'oom-*' \) 2>/dev/null | sort | tr '\n' ' ')"
  if [ -z "$runs" ]; then
    findings="${findings:-no final stats, see $log}"
  fi
  [ -n "$findings" ] && status=1
  printf '%-18s %14s %10s  %s\n' "$t" "${runs:--}" "${rate:--}" "${findings:-none}"
done
echo "wall time: $(($(date +%s) - start))s; logs and work corpora in $work"
exit "$status"
