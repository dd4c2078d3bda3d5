#!/usr/bin/env bash
# The observer page in a browser during a mission, for the user guide:
#
#   bash docs/pictures/observer-page.sh [BUILD_DIR] [OUT.png]
#
# Starts a name server, an active synthetic station and the headless console with its observer
# page on loopback, runs the mission a while, and has headless Chromium take the page at 1366x768.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
out=$(realpath -m "${2:-$root/docs/screenshots/17-observer-page.png}")
work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; rm -rf "$work"' EXIT
export HALYX_HOME=$work

wait_for() { # FILE TEXT: the first line of FILE holding TEXT, waiting up to 30 s
    for _ in $(seq 300); do
        grep -m1 -- "$2" "$1" 2>/dev/null && return 0
        sleep 0.1
    done
    echo "observer-page: no '$2' in $1" >&2
    return 1
}

"$build/bin/halyx-ans" --port 0 --bind 127.0.0.1 > "$work/ans.out" 2>&1 &
pids+=($!)
ans=127.0.0.1:$(wait_for "$work/ans.out" "listening on" | sed 's/.*://')
"$build/bin/halyx-station" --name ALPHA --ans "$ans" --behaviour active > "$work/ALPHA.out" 2>&1 &
pids+=($!)
wait_for "$work/ALPHA.out" READY > /dev/null
mkfifo "$work/commands"
"$build/bin/halyx-command" --headless - --ans "$ans" --no-embedded-ans --tick-ms 300 --observer \
    < "$work/commands" > "$work/console.out" 2>&1 &
pids+=($!)
exec 3> "$work/commands"
printf 'register\nwait agent ALPHA timeout=30\nadd ALPHA\nsingle-person on\ninit name=Observed folder=%s/logs\nwait initialized timeout=30\nstart\n' "$work" >&3
# The address names this machine's network address; the picture is taken on loopback.
observer=$(wait_for "$work/console.out" "OBSERVER http://" | sed -E 's|.*:([0-9]+/live\?key=.*)$|http://127.0.0.1:\1|')
sleep 10 # the station's commands reach the page
sandbox=()
[ "$(id -u)" -ne 0 ] || sandbox=(--no-sandbox)
timeout 60 chromium "${sandbox[@]}" --headless --disable-gpu --no-first-run --hide-scrollbars \
    --user-data-dir="$work/browser" --window-size=1366,768 \
    --screenshot="$out" "$observer" 2> "$work/browser.err" || cat "$work/browser.err" >&2
printf 'quit\n' >&3
exec 3>&-
[ -s "$out" ] && echo "wrote $out"
