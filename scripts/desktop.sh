#!/usr/bin/env bash
# The desktop console on a built tree, with its embedded name server on a free loopback port and
# three synthetic stations (ALPHA, BRAVO, CHARLIE) already registered with it, so that a session
# can be run with the mouse at once: Register, add the three stations, Initialize Simulation,
# Start Simulation. Closing the window ends the stations. HALYX_DESKTOP_TICK_MS sets the real
# time of one simulated minute (default 250: a mission of 960 minutes takes four minutes).
# Experiment logs go to $HALYX_HOME/ExpLogs (default ~/Halyx/ExpLogs).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${HALYX_BUILD_DIR:-$root/build}/bin
out=${HALYX_DESKTOP_DIR:-$(mktemp -d)}
tick=${HALYX_DESKTOP_TICK_MS:-250}
mkdir -p "$out"

# shellcheck source=scripts/stations.sh
source "$root/scripts/stations.sh"

"$bin/halyx-command" --embedded-ans-port 0 --tick-ms "$tick" "$@" \
    >"$out/console.out" 2>"$out/console.err" &
console=$!
pids+=("$console")

await_embedded_ans desktop "$console" "$out"

start_stations "$bin" "$port" "$out"
echo "== Halyx command station: the window is open; the name server is 127.0.0.1:$port and the"
echo "   stations ALPHA, BRAVO and CHARLIE are registered with it (their output is in $out)."
echo "   Register, add the three stations, Initialize Simulation, Start Simulation."
echo "   See docs/user-guide.md. Closing the window ends the stations."

status=0
wait "$console" || status=$?
if [ "$status" -ne 0 ]; then
    echo "desktop: the console ended with status $status" >&2
    tail -n 20 "$out/console.err" >&2
fi
exit "$status"
