#!/bin/sh
# Builds the .deb from a build tree and checks it without installing it: its fields, its
# files, the program it holds (run on a sample document) and its manual page.
#   check-deb.sh <build dir> <source dir>
set -eu
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" >/dev/null
deb=$(ls "$work"/extern-set_*.deb)

dpkg-deb -f "$deb" Package | grep -qx extern-set
dpkg-deb -f "$deb" Depends | grep -q '^libc6'
for file in ./usr/bin/extern-set ./usr/share/man/man1/extern-set.1.gz \
            ./usr/share/doc/extern-set/README.md ./usr/share/doc/extern-set/copyright; do
    dpkg-deb -c "$deb" | grep -q " $file\$" || { echo "missing from the package: $file"; exit 1; }
done

dpkg-deb -x "$deb" "$work/root"
mkdir "$work/run"
cp "$source/examples/extern.xml" "$work/run/"
(cd "$work/run" && "$work/root/usr/bin/extern-set" zmen port 1)
grep -q '<port>1</port>' "$work/run/extern.xml"

warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$work/root/usr/share/man/man1/extern-set.1.gz" 2>&1 >/dev/null)
[ -z "$warnings" ] || { echo "the manual page renders with warnings:"; echo "$warnings"; exit 1; }
echo "package ok: $(basename "$deb"), $(stat -c %s "$deb") bytes"
