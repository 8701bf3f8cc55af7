#!/usr/bin/env bash
# Installs the build into a fresh prefix as `cmake --install` does for a user
# and checks that everything a desktop needs is there and that the installed
# program finds its libraries and driver modules without the build folder.
#   install_check.sh BUILD_DIR
set -euo pipefail
build=${1:?build folder}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
libdir=$(cd "$prefix" && ls -d lib* | head -1)
for file in bin/corvane bin/corvane-devicecheck \
            "$libdir/libaudiodev.so" "$libdir/libskinkit.so" \
            "$libdir/corvane/drivers/corvane_jack.so" "$libdir/corvane/drivers/corvane_alsa.so" \
            "$libdir/corvane/drivers/corvane_virtual.so" \
            share/applications/corvane.desktop share/icons/hicolor/256x256/apps/corvane.png \
            share/doc/Corvane/README.md; do
    if [ ! -e "$prefix/$file" ]; then
        echo "missing after install: $file"
        exit 1
    fi
done
grep -qx 'Categories=AudioVideo;Audio;Mixer;' "$prefix/share/applications/corvane.desktop"
grep -qx 'Exec=corvane' "$prefix/share/applications/corvane.desktop"
# The installed libraries and modules, not the build's: a run through the
# Virtual Device from the prefix.
if ldd "$prefix/bin/corvane" | grep -q "$build"; then
    echo "the installed program still loads libraries from the build folder"
    exit 1
fi
CORVANE_VIRTUAL_OUTPUT_FILE="$prefix/out.wav" "$prefix/bin/corvane-devicecheck" "Virtual Device" 48000 0.2
echo "installed into $prefix: program, libraries, drivers, menu entry, icon, README"
