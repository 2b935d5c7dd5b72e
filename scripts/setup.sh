#!/usr/bin/env bash
# Installs what is missing, builds Vellaro in Release, installs it and starts it.
# Running it again on a set-up machine rebuilds what changed and keeps the learner's
# settings and exercises.
set -euo pipefail
cd "$(dirname "$0")/.."

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

bash scripts/deps.sh

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELLARO_TESTS=OFF \
  -DVELLARO_BENCH=OFF >/dev/null
cmake --build build/release

# The learner is whoever ran the script, also when it was run through sudo.
learner="${SUDO_USER:-$(id -un)}"
as_root cmake --install build/release >/dev/null
# The machine-wide folder and the default work folder belong to the learner who set up the
# machine; install -d changes nothing inside them.
as_root install -d -o "$learner" -m 0755 /var/lib/vellaro "/opt/vellaro/java source"

echo "Vellaro is installed in /opt/vellaro; starting it."
if [ "$(id -un)" != "$learner" ]; then
  # Never run the program as root on the learner's behalf.
  exec sudo -u "$learner" env DISPLAY="${DISPLAY:-}" XAUTHORITY="${XAUTHORITY:-}" \
    WAYLAND_DISPLAY="${WAYLAND_DISPLAY:-}" XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-}" \
    /opt/vellaro/vellaro
fi
exec /opt/vellaro/vellaro
