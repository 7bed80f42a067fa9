#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running need, and
# the ones named on its command line (tools/package.sh names its own).
# Quiet when they are all there already.
set -euo pipefail

packages=(
    build-essential cmake ninja-build clang-format git
    qt6-base-dev libqt6sql6-sqlite
    clang-14 libclang-rt-14-dev
    libchm-dev fp-utils
    sqlite3 xvfb xauth fonts-dejavu-core
    "$@"
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
    $SUDO apt-get update -qq
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -o DPkg::Lock::Timeout=600 -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
