#!/usr/bin/env bash
# Installs what is missing, builds the Debian package, installs it with its dependencies, removes
# the program files of the earlier layout (/opt/vellaro) and starts Vellaro as the learner.
# Running it again builds and installs the package anew; every learner's settings and exercises
# stay as they are.
set -euo pipefail
cd "$(dirname "$0")/.."

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

bash scripts/deps.sh

deb=$(bash scripts/package.sh)
as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --reinstall "./$deb"

# The earlier layout installed the program in /opt/vellaro with a launcher link in /usr/local/bin
# and a desktop entry. Its program files go; the work folder "/opt/vellaro/java source" with the
# learners' exercises, and the settings in /var/lib/vellaro, stay where they are.
remove_earlier_layout() {
  local f
  for f in /opt/vellaro/vellaro /opt/vellaro/Java.txt /opt/vellaro/Vellaro.chm; do
    if [ -f "$f" ] && [ ! -L "$f" ]; then rm -f "$f"; fi
  done
  if [ -L /usr/local/bin/vellaro ] && [ "$(readlink /usr/local/bin/vellaro)" = /opt/vellaro/vellaro ]; then
    rm -f /usr/local/bin/vellaro
  fi
  if grep -qx 'Exec=/opt/vellaro/vellaro' /usr/share/applications/vellaro.desktop 2>/dev/null; then
    rm -f /usr/share/applications/vellaro.desktop
  fi
  # Only an empty folder goes; one that holds "java source" stays.
  if [ -d /opt/vellaro ]; then rmdir /opt/vellaro 2>/dev/null || true; fi
}
as_root bash -c "$(declare -f remove_earlier_layout); remove_earlier_layout"

# The learner is whoever ran the script, also when it was run through sudo.
learner="${SUDO_USER:-$(id -un)}"
# Without a desktop to show it on, the program could only end in the toolkit's abort message.
no_display=false
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  no_display=true
elif [ -n "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && command -v xdpyinfo >/dev/null &&
  ! xdpyinfo >/dev/null 2>&1; then
  no_display=true
fi
if $no_display; then
  echo "Vellaro is installed ($deb)."
  echo "There is no desktop here to show it on. Start it on the desktop from the menu"
  echo "(Education > Vellaro) or with the command: vellaro"
  echo "Vellaro をインストールしました。デスクトップのメニュー（教育 > Vellaro）か、端末で vellaro と入力して起動して下さい。"
  exit 0
fi
echo "Vellaro is installed ($deb); starting it."
if [ "$(id -un)" != "$learner" ]; then
  # Never run the program as root on the learner's behalf.
  exec sudo -u "$learner" env DISPLAY="${DISPLAY:-}" XAUTHORITY="${XAUTHORITY:-}" \
    WAYLAND_DISPLAY="${WAYLAND_DISPLAY:-}" XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-}" \
    /usr/bin/vellaro
fi
exec /usr/bin/vellaro
