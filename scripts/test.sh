#!/usr/bin/env bash
# Builds everything and runs the whole test suite, then the unit tests once more built with the
# address and undefined-behaviour sanitizers (scripts/sanitize.sh; HALYX_SANITIZE=0 skips it).
# Fails when a test fails or when none ran. Arguments go to ctest; with some, only the normal
# run happens.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${HALYX_BUILD_DIR:-$root/build}

bash "$root/scripts/build.sh"
cd "$build"
ctest --output-on-failure --no-tests=error -j2 "$@"

if [ $# -eq 0 ] && [ "${HALYX_SANITIZE:-1}" != 0 ]; then
    bash "$root/scripts/sanitize.sh"
fi
