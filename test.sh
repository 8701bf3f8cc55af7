#!/usr/bin/env bash
# Sets Corvane up (packages, build) and runs the whole test suite through
# CTest, then the whole suite again under AddressSanitizer and
# UndefinedBehaviorSanitizer (skip that second run with CORVANE_SANITIZER_RUN=0).
set -euo pipefail
source "$(dirname "$0")/tools/setup/common.sh"
corvane_install_packages
corvane_build
ctest --test-dir "$CORVANE_BUILD" --output-on-failure --timeout 600 "$@"

if [ "${CORVANE_SANITIZER_RUN:-1}" = 1 ]; then
    CORVANE_BUILD="$CORVANE_ROOT/build-sanitize" corvane_build \
        -DCORVANE_SANITIZE=address,undefined -DCORVANE_BUILD_BENCHMARKS=OFF
    # Qt and fontconfig keep caches for the life of the process: leaks are not checked.
    ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        ctest --test-dir "$CORVANE_ROOT/build-sanitize" --output-on-failure --timeout 900
fi
