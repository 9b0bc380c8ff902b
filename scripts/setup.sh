#!/usr/bin/env bash
# Installs what building and testing Twinseek needs from Debian's archive, when it is missing.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    libicu-dev libcli11-dev
    qt6-base-dev libqt6svg6 fonts-dejavu-core adwaita-icon-theme
    libgtest-dev libgmock-dev
    clang libclang-rt-14-dev clang-format
    desktop-file-utils appstream
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
