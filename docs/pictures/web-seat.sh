#!/usr/bin/env bash
# A web seat's page during a mission, and the same page covered by a freeze, for the user guide:
#
#   bash docs/pictures/web-seat.sh [BUILD_DIR] [SEAT.png] [FREEZE.png]
#
# Starts a name server, a station program with ALPHA as a web seat and two bot teammates, and the
# headless console with a probe plan that freezes the mission at minute 40; headless Chromium
# takes the seat's page at 1366x768 at about minute 30 and again during the freeze.
source "$(dirname "$0")/browser-picture.sh"
build=${1:-$root/build}
seat_png=$(realpath -m "${2:-$root/docs/screenshots/18-web-seat.png}")
freeze_png=$(realpath -m "${3:-$root/docs/screenshots/19-web-seat-freeze.png}")

cat > "$work/probes.csv" <<'PLAN'
kind,minute,seconds,id,text,answer,choices
freeze,40,300,minute,What minute is it?,number:minute,
freeze,40,300,zone,Do you stand between the impact lines?,choice:inside_lines,yes|no
freeze,40,300,plan,What will you do next?,text,
PLAN
start_ans
"$build/bin/halyx-station" --seat ALPHA=web --seat BRAVO=bot --seat CHARLIE=bot --ans "$ans" \
    --web-port 0 --no-echo > "$work/station.out" 2>&1 &
pids+=($!)
seat=$(wait_for "$work/station.out" "SEAT ALPHA http://" | sed 's/^SEAT ALPHA //')
mkfifo "$work/commands"
"$build/bin/halyx-command" --headless - --ans "$ans" --no-embedded-ans --tick-ms 300 \
    < "$work/commands" > "$work/console.out" 2>&1 &
pids+=($!)
exec 3> "$work/commands"
printf 'register\nwait agents 3 timeout=60\nadd ALPHA BRAVO CHARLIE\nprobes %s/probes.csv\ninit name=Seat folder=%s/logs\nwait initialized timeout=60\nstart\n' "$work" "$work" >&3
sleep 9 # about minute 30: the bots have played and talked
shoot "$seat" "$seat_png"
sleep 8 # the freeze at minute 40 holds the page
shoot "$seat" "$freeze_png"
printf 'quit\n' >&3
exec 3>&-
