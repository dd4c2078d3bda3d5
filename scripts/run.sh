#!/usr/bin/env bash
# The main job: installs what is missing, builds, then opens the desktop console with three
# synthetic stations on loopback. --headless runs the scripted demonstration instead, as does a
# session without a display.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export HALYX_BUILD_DIR=${HALYX_BUILD_DIR:-$root/build}
# Only what the demonstration and the desktop run; scripts/test.sh builds the tests and
# benchmarks.
bash "$root/scripts/build.sh" halyx-command halyx-station halyx-log halyx-scenario halyx_maps
if [ "${1:-}" = "--headless" ]; then
    shift
    exec bash "$root/scripts/demo.sh" "$@"
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "run: no display (neither DISPLAY nor WAYLAND_DISPLAY is set), so the desktop console"
    echo "     cannot open; running the headless demonstration instead."
    exec bash "$root/scripts/demo.sh" "$@"
fi
exec bash "$root/scripts/desktop.sh" "$@"
