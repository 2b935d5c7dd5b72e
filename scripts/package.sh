#!/usr/bin/env bash
# Builds the Debian package vellaro_<version>_<arch>.deb into build/package from a copy of the
# source tree (so that neither the tree nor its parent folder collects build files), and prints
# the path of the .deb. The package build runs the logic tests; DEB_BUILD_OPTIONS=nocheck skips
# them.
set -euo pipefail
cd "$(dirname "$0")/.."

out=build/package
version=$(dpkg-parsechangelog -S Version)
stage="$out/vellaro-${version%-*}"
rm -rf "$out"
mkdir -p "$stage"
# The sources as they are in this tree (committed or not), without build folders.
tar --exclude=./build --exclude=./.git --exclude='./obj-*' -cf - . | tar -xf - -C "$stage"

(cd "$stage" && dpkg-buildpackage -us -uc -b -j2 >../build.log 2>&1) || {
    tail -n 80 "$out/build.log" >&2
    echo "package: the build failed; the whole log is $out/build.log" >&2
    exit 1
}
deb="$out/vellaro_${version}_$(dpkg-architecture -qDEB_HOST_ARCH).deb"
[[ -f "$deb" ]] || { echo "package: $deb was not made" >&2; exit 1; }
echo "$deb"
