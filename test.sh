#!/usr/bin/env bash
# Sets Corvane up (packages, build) and runs the whole test suite through
# CTest, then the whole suite again under AddressSanitizer and
# UndefinedBehaviorSanitizer (skip that second run with CORVANE_SANITIZER_RUN=0), with a
# full-rack dropout soak between them (CORVANE_SOAK_MINUTES, 0 skips it), then the
# engine-side tests under ThreadSanitizer (CORVANE_TSAN_RUN=0 skips them), then runs each
# fuzz target briefly (CORVANE_FUZZ_SECONDS per target, 0 skips them).
set -euo pipefail
source "$(dirname "$0")/tools/setup/common.sh"
corvane_install_packages
corvane_build
ctest --test-dir "$CORVANE_BUILD" --output-on-failure --timeout 600 "$@"

soak_minutes=${CORVANE_SOAK_MINUTES:-1}
if [ "$soak_minutes" != 0 ] && [ -x "$CORVANE_BUILD/bin/corvane-soak" ]; then
    # The full show at 64-frame blocks on a private dummy JACK server, with the
    # counts printed. Lost sound or data fails; xruns and late blocks are
    # reported only, since a shared 2-core machine makes them on its own.
    status=0
    "$CORVANE_ROOT/bench/stage/soak.sh" "$CORVANE_BUILD" "$soak_minutes" 64 2>/dev/null || status=$?
    [ "$status" = 0 ] || [ "$status" = 3 ] || exit "$status"
fi

if [ "${CORVANE_SANITIZER_RUN:-1}" = 1 ]; then
    CORVANE_BUILD="$CORVANE_ROOT/build-sanitize" corvane_build \
        -DCORVANE_SANITIZE=address,undefined -DCORVANE_BUILD_BENCHMARKS=OFF
    # Qt and fontconfig keep caches for the life of the process: leaks are not checked.
    ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        ctest --test-dir "$CORVANE_ROOT/build-sanitize" --output-on-failure --timeout 900
fi

if [ "${CORVANE_TSAN_RUN:-1}" = 1 ]; then
    # The threads of the mixer, players, plug-in host, recorder and MIDI remote.
    tsan_tests=(mixer_MixerEngineTest players_MP3PlayerEngineTest players_SoundFxEngineTest
                players_CDPlayerEngineTest players_LoopPlayerEngineTest plughost_PluginHostTest
                plugins_EffectRackEngineTest recorder_RecorderEngineTest
                midiremote_RemoteControlTest utilkit_MidiTest)
    tsan_build="$CORVANE_ROOT/build-tsan"
    export CCACHE_BASEDIR="$CORVANE_ROOT" CCACHE_NOHASHDIR=1
    if [ ! -f "$tsan_build/build.ninja" ]; then
        cmake -S "$CORVANE_ROOT" -B "$tsan_build" -G Ninja -DCORVANE_SANITIZE=thread \
            -DCORVANE_BUILD_BENCHMARKS=OFF
    fi
    # The artwork generator runs during the build; Qt's image threads are not
    # instrumented, so its reports must not fail the build.
    TSAN_OPTIONS=exitcode=0 cmake --build "$tsan_build" --target "${tsan_tests[@]}" \
        audiodev_JackTest audiodev_drivers jack_wait_ready
    tsan_regex="^($(IFS='|'; echo "${tsan_tests[*]}")|audiodev_JackServerGone)\$"
    ctest --test-dir "$tsan_build" -R "$tsan_regex" --output-on-failure --timeout 900
fi

fuzz_seconds=${CORVANE_FUZZ_SECONDS:-15}
if [ "$fuzz_seconds" != 0 ]; then
    # The fuzz targets and only what they link, built with clang and libFuzzer.
    fuzz_build="$CORVANE_ROOT/build-fuzz"
    export CCACHE_BASEDIR="$CORVANE_ROOT" CCACHE_NOHASHDIR=1
    if [ ! -f "$fuzz_build/build.ninja" ]; then
        CC=clang CXX=clang++ cmake -S "$CORVANE_ROOT" -B "$fuzz_build" -G Ninja \
            -DCORVANE_FUZZ=ON -DCORVANE_BUILD_BENCHMARKS=OFF
    fi
    cmake --build "$fuzz_build" --target corvane_fuzzers
    "$CORVANE_ROOT/tests/fuzz/run_fuzzers.sh" "$fuzz_build" "$fuzz_seconds"
fi
