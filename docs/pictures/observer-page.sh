#!/usr/bin/env bash
# The observer page in a browser during a mission, for the user guide:
#
#   bash docs/pictures/observer-page.sh [BUILD_DIR] [OUT.png]
#
# Starts a name server, an active synthetic station and the headless console with its observer
# page on loopback, runs the mission a while, and has headless Chromium take the page at 1366x768.
source "$(dirname "$0")/browser-picture.sh"
build=${1:-$root/build}
out=$(realpath -m "${2:-$root/docs/screenshots/17-observer-page.png}")

start_ans
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
shoot "$observer" "$out"
printf 'quit\n' >&3
exec 3>&-
