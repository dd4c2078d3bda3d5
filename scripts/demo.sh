#!/usr/bin/env bash
# Demonstration run on a built tree: generates a weather grid and shows it as XML.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${HALYX_BUILD_DIR:-$root/build}/bin
out=${HALYX_DEMO_DIR:-$(mktemp -d)}
"$bin/halyx-scenario" weather --season 0 --seed 1 -o "$out/demo.hwd"
# The whole grid goes to a file first: cutting the pipe short would stop the dump mid-write.
"$bin/halyx-scenario" dump "$out/demo.hwd" >"$out/demo.xml"
head -n 20 "$out/demo.xml"
echo "Weather grid written to $out/demo.hwd (its XML text: $out/demo.xml)"
