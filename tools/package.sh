#!/usr/bin/env bash
# Builds the Debian packages zorcfg and zorsrv (debian/) with dpkg-buildpackage
# from a copy of the checkout's files, and prints the folder that holds the
# .deb files: build/package/.
#   tools/package.sh
# Installs what the build needs first. Install the packages with
#   sudo apt-get install ./build/package/*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

tools/deps.sh dpkg-dev debhelper
dpkg-checkbuilddeps

version=$(dpkg-parsechangelog -S Version)
out="$PWD/build/package"
source="$out/zorcfg-$version"
rm -rf "$out"
mkdir -p "$source"

# The files of the checkout (committed or not, ignored ones left out), so that
# nothing built before leaks into the packages.
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git ls-files -z --cached --others --exclude-standard |
        while IFS= read -r -d '' f; do [ -e "$f" ] && printf '%s\0' "$f"; done |
        tar --null -T - -cf - | tar -xf - -C "$source"
else
    tar --exclude=./build --exclude=./.git -cf - . | tar -xf - -C "$source"
fi

cd "$source"
DEB_BUILD_OPTIONS="parallel=$(nproc) noddebs ${DEB_BUILD_OPTIONS:-}" \
    dpkg-buildpackage -b -us -uc
cd "$out"
rm -rf "$source"
ls -1 "$out"/*.deb
echo "Packages: $out"
