#!/usr/bin/env bash
# Installs what is missing, configures and builds into build/ (or $HALYX_BUILD_DIR).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${HALYX_BUILD_DIR:-$root/build}

bash "$root/scripts/install-deps.sh"

werror=OFF
if [ "${CI:-}" = "true" ]; then
    werror=ON
fi

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHALYX_WERROR="$werror" >/dev/null
cmake --build "$build"
