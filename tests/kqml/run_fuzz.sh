#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in a folder of their own and runs each for a bounded
# time. Any crash or sanitizer report fails the test; the reproducer is left in the work folder.
#   run_fuzz.sh SOURCE_DIR WORK_DIR CLANGXX SECONDS
set -euo pipefail
src=$1
work=$2
cxx=$3
seconds=${4:-20}

mkdir -p "$work"
cmake -S "$src/fuzz" -B "$work/build" -G Ninja -DCMAKE_CXX_COMPILER="$cxx" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$work/configure.log" 2>&1 ||
    { cat "$work/configure.log"; exit 1; }
cmake --build "$work/build" -j 1 >"$work/build.log" 2>&1 || { cat "$work/build.log"; exit 1; }

for target in parser framer; do
    corpus="$work/corpus-$target"
    mkdir -p "$corpus"
    echo "fuzz_kqml_$target: ${seconds}s"
    (cd "$work" && "$work/build/fuzz_kqml_$target" -max_total_time="$seconds" -max_len=8192 \
        -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
        "$corpus" "$src/fuzz/corpus/$target" 2>"$work/fuzz-$target.log") ||
        { tail -n 60 "$work/fuzz-$target.log"; exit 1; }
    grep -E 'stat::number_of_executed_units' "$work/fuzz-$target.log" || true
done
