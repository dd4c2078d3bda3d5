# shellcheck shell=bash
# Sourced by demo.sh and desktop.sh: the console's embedded name server and the three synthetic
# stations on loopback.

# The programs started here; they end with the script.
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
}
trap cleanup EXIT

# Waits up to ten seconds for the console (pid $2, its output in $3/console.out) to say where
# its embedded name server listens, and sets $port. When it says nothing or ends first, tells
# so as $1 (the script's name) with the console's errors, and ends the script.
await_embedded_ans() {
    local who=$1 console=$2 dir=$3
    port=""
    for _ in $(seq 100); do
        port=$(sed -n 's/^NAMESERVER embedded, listening on 127.0.0.1:\([0-9]*\)$/\1/p' "$dir/console.out")
        [ -n "$port" ] && return 0
        kill -0 "$console" 2>/dev/null || break
        sleep 0.1
    done
    echo "$who: the console did not start its name server" >&2
    cat "$dir/console.err" >&2
    exit 1
}

# Starts ALPHA, BRAVO and CHARLIE (active, seeds 21 to 23) from the programs in $1 with the
# name server on port $2; their output goes to $3/NAME.out.
start_stations() {
    local bin=$1 port=$2 out=$3 seed=21 station
    for station in ALPHA BRAVO CHARLIE; do
        "$bin/halyx-station" --name "$station" --ans "127.0.0.1:$port" --behaviour active \
            --seed "$seed" >"$out/$station.out" 2>&1 &
        pids+=("$!")
        seed=$((seed + 1))
    done
}
