#!/bin/sh
# Builds the Windows .zip and checks that it holds the very extern-set.exe the Wine tests
# ran, and the README.
#   check-zip.sh <windows build dir>
set -eu
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cpack --config "$build/CPackConfig.cmake" -B "$work" >/dev/null
zip=$(ls "$work"/extern-set-*.zip)
mkdir "$work/out"
(cd "$work/out" && cmake -E tar xf "$zip")
exe=$(find "$work/out" -name extern-set.exe)
cmp "$exe" "$build/extern-set.exe"
[ -f "$(dirname "$exe")/README.md" ]
echo "package ok: $(basename "$zip"), $(stat -c %s "$zip") bytes"
