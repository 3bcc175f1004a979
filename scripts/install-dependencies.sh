#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the window need, when any is missing.
set -euo pipefail

packages=(
    cmake ninja-build g++ clang libclang-rt-dev pkg-config libsodium-dev
    qt6-base-dev qt6-base-dev-tools libgl-dev
    qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
    fonts-noto-color-emoji fonts-dejavu-core
    xvfb xauth
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
