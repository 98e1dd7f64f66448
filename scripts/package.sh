#!/usr/bin/env bash
# Builds the Debian package tidewell-video-converter_<version>_<arch>.deb into out/deb/ and runs
# lintian on it (an error fails the script).
#
#   scripts/package.sh                  build and check the package
#   scripts/package.sh --install-check  also install it with apt, try the installed programs
#                                       and entry, and remove it again (needs root, and the
#                                       package not installed before)
#
# The build runs in a copy of the source tree under out/deb/build/, so the tree itself gains no
# build products; dpkg-buildpackage's products are collected into out/deb/. TW_PACKAGE_JOBS sets
# the compile jobs (default 2).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

install_check=false
case "${1:-}" in
    "") ;;
    --install-check) install_check=true ;;
    *)
        echo "usage: scripts/package.sh [--install-check]" >&2
        exit 2
        ;;
esac

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi

# The build's own packages, then those only packaging needs.
scripts/setup.sh
packaging=(debhelper dpkg-dev lintian fakeroot desktop-file-utils)
missing=()
for p in "${packaging[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing missing packages: ${missing[*]}"
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq \
        --no-install-recommends "${missing[@]}"
fi

package=$(dpkg-parsechangelog -S Source)
version=$(dpkg-parsechangelog -S Version)
project_version=$(sed -n 's/^project([A-Za-z]* VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
if [ "$version" != "$project_version" ]; then
    echo "debian/changelog is at $version but CMakeLists.txt at $project_version:" \
        "add a changelog entry (dch -v $project_version)" >&2
    exit 1
fi
arch=$(dpkg-architecture -q DEB_HOST_ARCH)
deb="out/deb/${package}_${version}_${arch}.deb"

# A copy of the files the repository holds (tracked, or new and not ignored).
work=out/deb/build
source_dir="$work/$package-$version"
rm -rf "$work"
mkdir -p "$source_dir"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files -z --cached --others --exclude-standard |
        while IFS= read -r -d '' file; do
            [ -e "$file" ] && printf '%s\0' "$file"
        done |
        tar --null -T - -cf - | tar -xf - -C "$source_dir"
else
    tar --exclude=./out --exclude='./build*' --exclude=./.git -cf - . | tar -xf - -C "$source_dir"
fi

echo "== dpkg-buildpackage ($package $version, $arch)"
export DEB_BUILD_OPTIONS="parallel=${TW_PACKAGE_JOBS:-2} ${DEB_BUILD_OPTIONS:-}"
if command -v ccache >/dev/null; then
    # Rebuilds of the package reuse the compiler's results (debhelper gives the build a home
    # of its own, so the cache is named).
    export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
    export CCACHE_DIR="${CCACHE_DIR:-$(ccache -k cache_dir)}"
fi
(cd "$source_dir" && dpkg-buildpackage -us -uc -b) > "$work/build.log" 2>&1 || {
    tail -n 60 "$work/build.log" >&2
    echo "dpkg-buildpackage failed; the whole log is $work/build.log" >&2
    exit 1
}
rm -f out/deb/*.deb out/deb/*.buildinfo out/deb/*.changes
mv "$work"/*.deb "$work"/*.buildinfo "$work"/*.changes out/deb/
echo "$deb"
dpkg-deb --contents "$deb" | awk '{print "  " $6}' | grep -v '/$'

echo "== lintian"
lintian --fail-on error --display-info "out/deb/${package}_${version}_${arch}.changes"
echo "lintian: no errors"

if ! $install_check; then
    exit 0
fi

echo "== install check"
if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    echo "$package is installed already: remove it first, the check removes what it installs" >&2
    exit 1
fi
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "./$deb"
mapfile -t files < <(dpkg -L "$package")
status=0
tidewell-convert --version || status=1
tidewell-video-converter --version || status=1
desktop-file-validate /usr/share/applications/com.tidewellsoft.VideoConverter.desktop || status=1
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get purge -y -qq "$package"
for file in "${files[@]}"; do
    # Folders the system had before (/usr/bin ...) stay; the package's own files do not.
    if [ -e "$file" ] && [ ! -d "$file" ]; then
        echo "left behind after removal: $file" >&2
        status=1
    fi
done
if [ $status -eq 0 ]; then
    echo "installed, ran, validated and removed cleanly"
fi
exit $status
