#!/usr/bin/env bash
# Shared by ./run.sh, ./test.sh and .ci/run: installs what Corvane needs on a
# Debian 12 machine, then configures and builds (reusing an existing build).
set -euo pipefail

CORVANE_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
CORVANE_BUILD="${CORVANE_BUILD:-$CORVANE_ROOT/build}"

corvane_install_packages() {
    local wanted missing=()
    wanted=$(grep -v -E '^\s*(#|$)' "$CORVANE_ROOT/tools/setup/packages.txt")
    for package in $wanted; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$package")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
}

corvane_build() {
    # Paths relative to the checkout, so a fresh clone (CI) reuses the cache.
    export CCACHE_BASEDIR="$CORVANE_ROOT" CCACHE_NOHASHDIR=1
    if [ ! -f "$CORVANE_BUILD/build.ninja" ]; then
        cmake -S "$CORVANE_ROOT" -B "$CORVANE_BUILD" -G Ninja "$@"
    fi
    cmake --build "$CORVANE_BUILD"
}
