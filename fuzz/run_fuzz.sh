#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in a folder of their own and runs each for a bounded
# time, starting from its seeds in fuzz/corpus and from what earlier runs in the same work folder
# found. Every target runs even when an earlier one fails; any crash, sanitizer report, leak,
# input slower than 10 s or allocation beyond 2 GiB fails the run, and the input that caused it is
# left in the work folder as crash-*, timeout-*, leak-* or oom-*.
#   run_fuzz.sh SOURCE_DIR WORK_DIR CLANGXX [SECONDS [TARGET...]]
# TARGET is a name without its fuzz_ prefix (archive_files, log_loader, ...); all by default.
set -euo pipefail
src=$1
work=$2
cxx=$3
seconds=${4:-10}
shift $(($# < 4 ? $# : 4))

# Each target and the seed folder it starts from.
declare -A seeds=(
    [kqml_parser]=parser
    [kqml_framer]=framer
    [archive_files]=archive
    [map_text]=maptext
    [scenario_text]=scenario
    [log_loader]=log
    [log_repair]=log
    [log_reader]=log
    [study_plan]=plan
    [http_request]=http
    [name_requests]=names
)
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(kqml_parser kqml_framer archive_files map_text scenario_text log_loader log_repair
             log_reader study_plan http_request name_requests)
fi
for target in "${targets[@]}"; do
    [ -n "${seeds[$target]:-}" ] || { echo "run_fuzz: no fuzz target named $target" >&2; exit 2; }
done

mkdir -p "$work"
cmake -S "$src/fuzz" -B "$work/build" -G Ninja -DCMAKE_CXX_COMPILER="$cxx" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$work/configure.log" 2>&1 ||
    { cat "$work/configure.log"; exit 1; }
cmake --build "$work/build" -j 2 >"$work/build.log" 2>&1 || { cat "$work/build.log"; exit 1; }

failed=()
for target in "${targets[@]}"; do
    corpus="$work/corpus-$target"
    log="$work/fuzz-$target.log"
    mkdir -p "$corpus"
    echo "fuzz_$target: ${seconds}s"
    if (cd "$work" && "$work/build/fuzz_$target" -max_total_time="$seconds" -max_len=8192 \
        -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 -artifact_prefix="$work/" \
        "$corpus" "$src/fuzz/corpus/${seeds[$target]}" 2>"$log"); then
        grep -E 'stat::number_of_executed_units' "$log" || true
    else
        tail -n 60 "$log"
        failed+=("$target")
    fi
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "run_fuzz: faults found by ${failed[*]} (inputs in $work)" >&2
    exit 1
fi
