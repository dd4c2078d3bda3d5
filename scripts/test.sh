#!/usr/bin/env bash
# Builds everything and runs the whole test suite. Fails when a test fails or when none ran.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${HALYX_BUILD_DIR:-$root/build}

bash "$root/scripts/build.sh"
cd "$build"
ctest --output-on-failure --no-tests=error -j2 "$@"
