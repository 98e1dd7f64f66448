#!/usr/bin/env bash
# Installs every Debian package the build and the tests need. Idempotent: asks apt only
# when something is missing, and refreshes the package lists only then.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config ccache
    libavcodec-dev libavformat-dev libavfilter-dev libavdevice-dev libavutil-dev
    libswscale-dev libswresample-dev
    libsqlite3-dev libpugixml-dev libdvdnav-dev libdvdread-dev libfontconfig-dev
    nlohmann-json3-dev
    qt6-base-dev qt6-multimedia-dev qt6-svg-dev libqt6svg6
    libgtest-dev libgmock-dev libbenchmark-dev
    fonts-dejavu-core dvdauthor genisoimage
    desktop-file-utils appstream bash-completion man-db
    clang libclang-rt-14-dev
    parallel openssh-server rsync
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing missing packages: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
