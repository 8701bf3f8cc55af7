#!/usr/bin/env bash
# Sets Corvane up (packages, build) and starts it.
set -euo pipefail
source "$(dirname "$0")/tools/setup/common.sh"
corvane_install_packages
corvane_build
exec "$CORVANE_BUILD/bin/corvane"
