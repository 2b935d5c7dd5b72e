#!/usr/bin/env bash
# Installs the Debian packages that building, packaging, running and testing Vellaro need.
# Only this step and the install step need root; they go through sudo for a learner.
set -euo pipefail

PACKAGES=(
  # build
  g++ cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl1-mesa-dev
  # run
  qt6-translations-l10n fonts-ipafont-gothic default-jdk-headless xchm xdg-utils
  # help file
  fp-utils
  # the Debian package and its checks
  debhelper dpkg-dev lintian desktop-file-utils appstream
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xdotool x11-utils imagemagick util-linux libx11-dev
  clang libclang-rt-14-dev
  # the house style (scripts/format.sh)
  clang-format
  # the flushes of a page switch and of closing (bench/window_syncs.sh)
  strace
  # the check that the core builds for Windows (scripts/portable.sh)
  g++-mingw-w64-x86-64-posix
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  as_root apt-get update -q
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
fi
