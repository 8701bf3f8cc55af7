#!/usr/bin/env bash
# Fails when any C++ source in the repository differs from .clang-format.
set -u
cd "$1"
files=$(git ls-files '*.cpp' '*.h' 2>/dev/null || find . -name '*.cpp' -o -name '*.h' | grep -v '^./build')
[ -z "$files" ] && exit 0
clang-format --dry-run -Werror $files
