#!/usr/bin/env bash
# Sets Corvane up (packages, build) and runs the whole test suite through CTest.
set -euo pipefail
source "$(dirname "$0")/tools/setup/common.sh"
corvane_install_packages
corvane_build
cd "$CORVANE_BUILD"
ctest --output-on-failure --timeout 600 "$@"
