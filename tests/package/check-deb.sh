#!/bin/sh
# Builds the .deb from a build tree and checks it without installing it: its fields, its
# files, the program it holds (run on a sample document) and its manual page.
#   check-deb.sh <build dir> <source dir>
set -eu
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "check-deb: $*"; exit 1; }
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack failed"; }
deb=$(ls "$work"/extern-set_*.deb) || fail "no .deb made"

[ "$(dpkg-deb -f "$deb" Package)" = extern-set ] || fail "package name: $(dpkg-deb -f "$deb" Package)"
dpkg-deb -f "$deb" Depends | grep -q '^libc6' || fail "depends: '$(dpkg-deb -f "$deb" Depends)'"
for file in ./usr/bin/extern-set ./usr/share/man/man1/extern-set.1.gz \
            ./usr/share/doc/extern-set/README.md ./usr/share/doc/extern-set/copyright; do
    dpkg-deb -c "$deb" | grep -q " $file\$" || fail "missing from the package: $file"
done

dpkg-deb -x "$deb" "$work/root"
mkdir "$work/run"
cp "$source/examples/extern.xml" "$work/run/"
(cd "$work/run" && "$work/root/usr/bin/extern-set" zmen port 1) || fail "the packaged program failed"
grep -q '<port>1</port>' "$work/run/extern.xml" || fail "the packaged program did not set the value"

warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$work/root/usr/share/man/man1/extern-set.1.gz" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "the manual page renders with warnings: $warnings"
echo "package ok: $(basename "$deb"), $(stat -c %s "$deb") bytes"
