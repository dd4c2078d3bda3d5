#!/usr/bin/env bash
# scripts/run.sh must build only what the demonstration runs: a newcomer should not wait for the
# tests, benchmarks and fuzz drivers. The scripts run in a copy of scripts/ whose demonstration
# and package installation are stubs, with a cmake that only records how it was called.
set -euo pipefail
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/root/scripts" "$work/bin"
cp "$source_dir/scripts/run.sh" "$source_dir/scripts/build.sh" "$work/root/scripts/"
printf '#!/usr/bin/env bash\necho demonstration\n' > "$work/root/scripts/demo.sh"
printf '#!/usr/bin/env bash\ntrue\n' > "$work/root/scripts/install-deps.sh"
cat > "$work/bin/cmake" <<STUB
#!/usr/bin/env bash
echo "\$*" >> "$work/cmake-calls"
STUB
chmod +x "$work/bin/cmake"
env -u DISPLAY -u WAYLAND_DISPLAY PATH="$work/bin:$PATH" HALYX_BUILD_DIR="$work/build" bash "$work/root/scripts/run.sh" > "$work/out"
build_call=$(grep -- '--build' "$work/cmake-calls")
for target in halyx-command halyx-station; do
    if [[ " $build_call " != *" --target $target "* ]]; then
        echo "run.sh does not build $target: cmake $build_call" >&2
        exit 1
    fi
done
if [[ "$build_call" == *test* || "$build_call" == *bench* || "$build_call" != *--target* ]]; then
    echo "run.sh builds more than the demonstration: cmake $build_call" >&2
    exit 1
fi
grep -q demonstration "$work/out"
echo "run.sh builds: cmake $build_call"
