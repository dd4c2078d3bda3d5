# Sourced by the picture scripts that run a mission on loopback and photograph a page in
# headless Chromium: a scratch folder as HALYX_HOME (removed, with every program started, on
# exit), waiting for a program's line, and the photograph itself.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; rm -rf "$work"' EXIT
export HALYX_HOME=$work

wait_for() { # FILE TEXT: the first line of FILE holding TEXT, waiting up to 60 s
    for _ in $(seq 600); do
        grep -m1 -- "$2" "$1" 2>/dev/null && return 0
        sleep 0.1
    done
    echo "$(basename "$0"): no '$2' in $1" >&2
    return 1
}

shoot() { # URL OUT.png: the page at 1366x768, a profile of its own each time
    local sandbox=()
    [ "$(id -u)" -ne 0 ] || sandbox=(--no-sandbox)
    timeout 60 chromium "${sandbox[@]}" --headless --disable-gpu --no-first-run --hide-scrollbars \
        --user-data-dir="$work/browser-$(basename "$2")" --window-size=1366,768 --timeout=8000 \
        --screenshot="$2" "$1" 2> "$work/browser.err" || true
    if [ -s "$2" ]; then echo "wrote $2"; else cat "$work/browser.err" >&2; return 1; fi
}

start_ans() { # a name server of $build on loopback; its address into ans
    "$build/bin/halyx-ans" --port 0 --bind 127.0.0.1 > "$work/ans.out" 2>&1 &
    pids+=($!)
    ans=127.0.0.1:$(wait_for "$work/ans.out" "listening on" | sed 's/.*://')
}
