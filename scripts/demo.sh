#!/usr/bin/env bash
# Demonstration on a built tree: the console with its embedded name server and three synthetic
# stations (ALPHA, BRAVO, CHARLIE) on loopback run a whole mission at an accelerated clock
# (chat, weather queries, deployments, go/no-go reports, the launch decision), then the
# recorded experiment log is played back to the same stations. Ends on its own in a minute or
# two. HALYX_DEMO_TICK_MS sets the real time of one simulated minute (default 30).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${HALYX_BUILD_DIR:-$root/build}/bin
out=${HALYX_DEMO_DIR:-$(mktemp -d)}
tick=${HALYX_DEMO_TICK_MS:-30}
mkdir -p "$out"
export HALYX_HOME="$out/home"

# shellcheck source=scripts/stations.sh
source "$root/scripts/stations.sh"

log="$out/logs/DemoMission.xml"
cat > "$out/demo-script.txt" <<SCRIPT
# First a whole mission
register
wait agents 3 timeout=60
agents
add ALPHA BRAVO CHARLIE
init name=DemoMission folder=$out/logs notes="Demonstration: three synthetic stations on loopback"
wait initialized timeout=60
start
wait clock 240 timeout=300
pause
status
resume
wait end timeout=600
wait quiet 1000 timeout=60
summary
reset yes
comm-log save $out/comm DemoMission notes="chat of the demonstration mission"
echo ==== Now the playback of the recorded mission ====
playback on
load-experiment $log
init-playback
wait initialized timeout=60
play
wait replayed timeout=600
wait end timeout=600
wait quiet 500 timeout=60
stop
playback off yes
quit
SCRIPT

echo "== Halyx command station demonstration (output in $out)"
# The console starts its own name server on a free loopback port and says where.
"$bin/halyx-command" --headless "$out/demo-script.txt" --embedded-ans-port 0 --tick-ms "$tick" \
    >"$out/console.out" 2>"$out/console.err" &
console=$!
pids+=("$console")
# Show the console's transcript as it grows (tail ends a moment after the console does).
tail -n +1 -f --pid="$console" "$out/console.out" &
follower=$!

await_embedded_ans demo "$console" "$out"

start_stations "$bin" "$port" "$out"

status=0
wait "$console" || status=$?
wait "$follower" 2>/dev/null || true

echo
echo "== What the stations saw"
for station in ALPHA BRAVO CHARLIE; do
    recv=$(grep -c '^RECV ' "$out/$station.out" || true)
    sent=$(grep -c '^SEND ' "$out/$station.out" || true)
    echo "$station: $recv messages received, $sent sent"
done
echo
echo "Experiment log:     $log"
echo "Communication log:  $out/comm/DemoMission/DemoMission.hcl"
echo "Console transcript: $out/console.out"
if [ "$status" -ne 0 ]; then
    echo "demo: the console ended with status $status" >&2
    tail -n 20 "$out/console.err" >&2
fi
exit "$status"
