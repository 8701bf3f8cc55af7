#!/usr/bin/env bash
# Builds the Debian package with CPack and checks what it holds and needs:
# the program, libraries, drivers, menu entry and icon; the run-time
# libraries found by the library scan, and LAME, which is loaded at run time.
#   deb_check.sh BUILD_DIR
set -euo pipefail
build=${1:?build folder}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" >/dev/null)
deb=$(ls "$work"/corvane_*.deb)
contents=$(dpkg-deb -c "$deb")
for file in ./usr/bin/corvane ./usr/lib/libaudiodev.so ./usr/lib/libskinkit.so \
            ./usr/lib/corvane/drivers/corvane_virtual.so ./usr/share/applications/corvane.desktop \
            ./usr/share/icons/hicolor/256x256/apps/corvane.png; do
    grep -q " $file\$" <<<"$contents" || { echo "the package lacks $file"; exit 1; }
done
depends=$(dpkg-deb -f "$deb" Depends)
for library in libmp3lame0 libqt6widgets6 libsndfile1 libjack-jackd2-0 libcdio19 librtmidi6; do
    grep -q "$library" <<<"$depends" || { echo "the package does not depend on $library"; exit 1; }
done
echo "$(basename "$deb"): $(wc -l <<<"$contents") entries; Depends: $depends"
