#!/usr/bin/env bash
# Installs the Debian 12 packages the project builds with, when any is missing.
# Safe to run again: it does nothing when everything is present. Runs as root without a prompt.
set -euo pipefail

packages=(
    build-essential cmake ninja-build locales ccache
    qt6-base-dev libpugixml-dev libcurl4-openssl-dev
    # the observer page's browser test talks to the browser over its debugging socket
    qt6-websockets-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    qt6-svg-dev
    dpkg-dev file
    # the package's manual pages are made from --help; lintian checks the package in its test
    help2man lintian
    # the observer page's test loads it in a real browser, headless
    chromium
    # the bounded fuzz run of the test suite: clang and its libFuzzer runtime
    clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "install-deps: installing ${missing[*]}" >&2
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
