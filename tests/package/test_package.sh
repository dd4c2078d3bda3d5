#!/usr/bin/env bash
# Builds the Debian package with CPack (or takes the one named by HALYX_PACKAGE), unpacks it into
# a temporary root with dpkg-deb -x and runs the programs from there: a short recorded mission
# with the console and a synthetic station, the scenario tool's default scenario, and halyx-log
# on the recorded log. The programs must find the maps under the root's share/halyx/maps.
# Every program has its manual page. lintian, when installed, must find nothing to warn about.
set -euo pipefail
build=${1:?usage: test_package.sh BUILD_DIR}
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

deb=${HALYX_PACKAGE:-}
if [ -z "$deb" ]; then
    cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/cpack" >"$work/cpack.log" 2>&1 ||
        { cat "$work/cpack.log" >&2; fail "cpack"; }
    deb=$(ls "$work"/cpack/halyx_*.deb)
fi
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
arch=$(dpkg --print-architecture)
[ "$(basename "$deb")" = "halyx_${version}_${arch}.deb" ] || fail "package named $(basename "$deb")"
echo "package: $deb"

info=$(dpkg-deb -I "$deb")
echo "$info" | grep -q '^ Package: halyx$' || fail "package name"
echo "$info" | grep -q '^ Depends:.*libqt6core6' || fail "no computed dependencies: $info"
echo "$info" | grep '^ Depends:'

root="$work/root"
dpkg-deb -x "$deb" "$root"
for program in halyx-command halyx-ans halyx-station halyx-scenario halyx-log; do
    [ -x "$root/usr/bin/$program" ] || fail "missing /usr/bin/$program"
    page="$root/usr/share/man/man1/$program.1.gz"
    [ -f "$page" ] || fail "missing the manual page of $program (is help2man installed?)"
    zcat "$page" | grep -q '^\.SH DESCRIPTION' || fail "the manual page of $program has no description"
done
for file in share/halyx/maps/world.txt share/doc/halyx/README.md share/doc/halyx/copyright \
    share/applications/halyx-command.desktop share/icons/hicolor/scalable/apps/halyx.svg; do
    [ -f "$root/usr/$file" ] || fail "missing /usr/$file"
done
maps="$root/usr/share/halyx/maps/"

export HALYX_HOME="$work/home"
unset HALYX_MAP_DIR

# The scenario tool's default scenario points at the installed maps.
"$root/usr/bin/halyx-scenario" save-default "$work/scenarios" Default >"$work/save.out" ||
    fail "save-default"
grep -rq "${maps}world.txt" "$work/scenarios/Default" || {
    grep -r "world.txt" "$work/scenarios/Default" >&2 || true
    fail "the saved scenario does not name the installed maps"
}

# A short mission: the console with its own name server and one synthetic station.
cat >"$work/script.txt" <<SCRIPT
register
wait agents 1 timeout=30
add PKG
init name=PkgRun folder=$work/logs notes="package test"
wait initialized timeout=30
start
wait end timeout=120
wait quiet 300 timeout=30
reset yes
quit
SCRIPT
"$root/usr/bin/halyx-command" --headless "$work/script.txt" --embedded-ans-port 0 --tick-ms 2 \
    >"$work/console.out" 2>"$work/console.err" &
console=$!
pids+=("$console")
port=""
for _ in $(seq 100); do
    port=$(sed -n 's/^NAMESERVER embedded, listening on 127.0.0.1:\([0-9]*\)$/\1/p' "$work/console.out")
    [ -n "$port" ] && break
    sleep 0.1
done
[ -n "$port" ] || { cat "$work/console.out" "$work/console.err" >&2; fail "no name server"; }
"$root/usr/bin/halyx-station" --name PKG --ans "127.0.0.1:$port" >"$work/station.out" 2>&1 &
pids+=("$!")
status=0
wait "$console" || status=$?
[ "$status" -eq 0 ] || { tail -n 30 "$work/console.out" "$work/console.err" >&2; fail "console exit $status"; }
log="$work/logs/PkgRun.xml"
[ -f "$log" ] || fail "no experiment log"
grep -q "${maps}world.txt" "$log" || fail "the recorded scenario does not name the installed maps"

"$root/usr/bin/halyx-log" summary "$log" >"$work/summary.out" || fail "halyx-log summary"
grep -q '^Launch decision' "$work/summary.out" || fail "summary: $(cat "$work/summary.out")"
"$root/usr/bin/halyx-log" csv "$log" -o "$work/csv" >/dev/null || fail "halyx-log csv"
"$root/usr/bin/halyx-log" timeline "$log" -o "$work/timeline.png" >/dev/null ||
    fail "halyx-log timeline"
[ -s "$work/timeline.png" ] || fail "no timeline picture"
echo "ran from the unpacked package: mission recorded, scenario saved, log analysed"

if command -v lintian >/dev/null 2>&1; then
    lintian --tag-display-limit 0 "$deb" >"$work/lintian.out" 2>&1 || true
    if grep -q '^[EW]: ' "$work/lintian.out"; then
        cat "$work/lintian.out" >&2
        fail "lintian warns about the package"
    fi
    echo "lintian: no errors or warnings"
else
    echo "lintian not installed: skipped"
fi
