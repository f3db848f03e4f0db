#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the demo need. Needs root (or sudo).
set -euo pipefail
packages=(
  build-essential cmake pkg-config            # the build
  libfltk1.3-dev libx11-dev                   # the windows (FLTK backend), FindWindowA over X11
  libgtest-dev                                # behaviour tests
  xvfb xauth xdotool x11-utils imagemagick    # end-to-end runs: display, clicks, screenshots
  openbox                                     # a window manager under Xvfb: title bars, close box, Alt+F4
  fonts-liberation                            # metric-compatible fonts for the layouts' fonts
  liblnk-utils                                # lnkinfo reads the shortcuts back
  python3                                     # the loopback sign-up receiver of the demo and tests
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  SUDO=""; [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"  # sudo would drop the variable
fi
