#!/usr/bin/env bash
# Installs the Debian 12 packages the build needs, if any are missing.
set -euo pipefail
# locales: the sources the tests make their comma locale (de_DE) from. libftdi1-dev:
# the FTDI programmers (built without it when missing).
packages=(g++ cmake ninja-build pkg-config qt6-base-dev qt6-svg-dev libgl1-mesa-dev nlohmann-json3-dev
          libgtest-dev libgmock-dev libbenchmark-dev libusb-1.0-0-dev fonts-dejavu-core fontconfig
          python3 locales libftdi1-dev)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi
