#!/usr/bin/env bash
# Installs the Debian 12 packages the project builds with, when any is missing.
# Safe to run again: it does nothing when everything is present. Runs as root without a prompt.
set -euo pipefail

packages=(
    build-essential cmake ninja-build
    qt6-base-dev libpugixml-dev libcurl4-openssl-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    # the comma-decimal locale that the numeric locale test compiles
    locales
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
