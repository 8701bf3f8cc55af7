#!/usr/bin/env bash
# Runs every fuzz target for a while on seeds written by the tests' fixture
# makers, and prints each target's executions and findings.
#   tests/fuzz/run_fuzzers.sh BUILD_DIR SECONDS_PER_TARGET [CORPUS_DIR]
# BUILD_DIR is configured with clang and -DCORVANE_FUZZ=ON. A crash or hang
# leaves its input in CORPUS_DIR/findings and makes the script fail.
set -uo pipefail
build=${1:?build folder}
seconds=${2:?seconds per target}
corpus=${3:-$build/fuzz-corpus}
mkdir -p "$corpus/findings"
"$build/bin/corvane_fuzz_seeds" "$corpus/seeds" || exit 1
failed=0
for target in fuzz_settings_file fuzz_mp3_tags fuzz_virtual_wav fuzz_midi_remote fuzz_wave_cache \
              fuzz_cue_image fuzz_instrument_presets; do
    mkdir -p "$corpus/$target"
    log="$corpus/$target.log"
    QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 \
        "$build/bin/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$corpus/findings/$target-" \
        "$corpus/$target" "$corpus/seeds/$target" >"$log" 2>&1
    status=$?
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$')
    if [ $status -ne 0 ]; then
        failed=1
        echo "$target: FAILED after ${runs:-?} executions (see $log)"
        grep -m3 -E 'ERROR|SUMMARY' "$log"
    else
        echo "$target: ${runs:-?} executions, nothing found"
    fi
done
exit $failed
