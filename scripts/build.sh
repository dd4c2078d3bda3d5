#!/usr/bin/env bash
# Installs what is missing, configures and builds into build/ (or $HALYX_BUILD_DIR).
# Arguments name the targets to build (default: everything, tests and benchmarks included).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${HALYX_BUILD_DIR:-$root/build}

bash "$root/scripts/install-deps.sh"

werror=OFF
if [ "${CI:-}" = "true" ]; then
    werror=ON
fi

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHALYX_WERROR="$werror" >/dev/null
targets=()
for target in "$@"; do
    targets+=(--target "$target")
done
cmake --build "$build" "${targets[@]}"
