#!/usr/bin/env bash
# Builds the Debian package build/packages/halyx_VERSION_ARCH.deb (installs what is missing and
# builds first). Install it with: apt install ./build/packages/halyx_*.deb
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${HALYX_BUILD_DIR:-$root/build}
export HALYX_BUILD_DIR=$build

bash "$root/scripts/build.sh"
cd "$build"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$build/packages" >"$build/cpack.log" 2>&1 || {
    cat "$build/cpack.log" >&2
    exit 1
}
ls "$build"/packages/halyx_*.deb
