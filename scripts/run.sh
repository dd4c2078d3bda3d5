#!/usr/bin/env bash
# The main job: installs what is missing, builds, then runs the demonstration.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
export HALYX_BUILD_DIR=${HALYX_BUILD_DIR:-$root/build}
# Only what the demonstration runs; scripts/test.sh builds the tests and benchmarks.
bash "$root/scripts/build.sh" halyx-command halyx-station halyx_maps
exec bash "$root/scripts/demo.sh" "$@"
