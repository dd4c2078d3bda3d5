#!/usr/bin/env bash
# Builds the tests labelled unit (the record tests among them) a second time, with
# AddressSanitizer and UndefinedBehaviorSanitizer, into build-asan/ (or $HALYX_ASAN_BUILD_DIR),
# and runs them: a read of freed memory or an overflow then fails here instead of passing by
# chance. Only those tests and the programs and files they use are built, to keep CI short.
# A -R PATTERN argument narrows the build and the run to the unit tests it matches.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${HALYX_ASAN_BUILD_DIR:-$root/build-asan}

bash "$root/scripts/install-deps.sh"

# ccache when the machine has it; CI machines may not.
launcher=()
if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
# The optimised build the tests normally run, with whole stacks in the reports. Warnings are the
# normal build's business (the sanitizers make the compiler guess at more of them).
# The vptr check is left out: it reads the object's memory through a pipe, which fails in the
# tests that use up the process's descriptors on purpose and then reports sound Qt objects.
flags="-fno-omit-frame-pointer -fsanitize=address,undefined -fno-sanitize=vptr \
    -fno-sanitize-recover=undefined -Wno-maybe-uninitialized"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHALYX_WERROR=OFF \
    -DHALYX_BUILD_BENCH=OFF -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" "${launcher[@]}" >/dev/null

pattern='.*'
args=("$@")
for ((i = 0; i < ${#args[@]}; ++i)); do
    if [ "${args[$i]}" = "-R" ] && [ $((i + 1)) -lt ${#args[@]} ]; then
        pattern=${args[$((i + 1))]}
    fi
done

# Every unit test that is a program of this build (a test may run a script instead).
mapfile -t programs < <(ninja -C "$build" -t targets all | sed -n 's/^\([^:]*\): phony$/\1/p')
mapfile -t tests < <(ctest --test-dir "$build" -N -L unit -R "$pattern" 2>/dev/null |
    sed -n 's/^ *Test *#[0-9]*: \(.*\)$/\1/p')
targets=()
names=()
for test in "${tests[@]}"; do
    for program in "${programs[@]}"; do
        if [ "$test" = "$program" ]; then
            targets+=(--target "$test")
            names+=("$test")
        fi
    done
done
if [ ${#names[@]} -eq 0 ]; then
    echo "sanitize.sh: no unit test matches $pattern" >&2
    exit 1
fi
# The scenario tool's tests run the tool, and the map tests read the shipped maps.
cmake --build "$build" --target halyx-scenario --target halyx_maps "${targets[@]}"

# Leaks are not what this run looks for: Qt's caches, left at exit on purpose, would drown them.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0:abort_on_error=1:strict_string_checks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
only=$(IFS='|'; echo "${names[*]}")
cd "$build"
ctest --output-on-failure --no-tests=error -j2 -R "^($only)\$" --timeout 900
