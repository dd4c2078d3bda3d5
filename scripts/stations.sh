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

# Waits up to ten seconds for the console (pid $1, its output in the file $2) to say where its
# embedded name server listens; prints the port, or nothing when the console said nothing or
# ended first.
embedded_ans_port() {
    local console=$1 output=$2 port=""
    for _ in $(seq 100); do
        port=$(sed -n 's/^NAMESERVER embedded, listening on 127.0.0.1:\([0-9]*\)$/\1/p' "$output")
        [ -n "$port" ] && break
        kill -0 "$console" 2>/dev/null || break
        sleep 0.1
    done
    echo "$port"
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
