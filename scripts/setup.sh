#!/usr/bin/env bash
# Installs the Debian packages a task needs, and only those that are missing.
# Usage: scripts/setup.sh GROUP...   (groups: build, run, test, lint, windows)
# Silent when everything is already installed.
set -euo pipefail

declare -A GROUP
# Compiler, build tools, Qt 6 headers and tools, X11 headers for the XShape shapes and for
# following the compositing manager (XFixes).
GROUP[build]="cmake g++ ninja-build pkg-config qt6-base-dev qt6-base-dev-tools
  qt6-declarative-dev qt6-declarative-dev-tools libgl-dev libxkbcommon-dev libxcb1-dev
  libxcb-shape0-dev libxcb-xfixes0-dev"
# The QML modules the documents import, and the platform plugins (xcb, offscreen).
GROUP[run]="qt6-qpa-plugins qml6-module-qtquick qml6-module-qtquick-controls
  qml6-module-qtquick-layouts qml6-module-qtquick-window qml6-module-qtquick-templates
  qml6-module-qtqml qml6-module-qtqml-models qml6-module-qtqml-workerscript fonts-dejavu-core"
# Qt Quick Test, Qt's private headers (tests drive the offscreen platform), a headless X server with xrandr monitors, xdotool and X queries,
# ImageMagick for screenshots, a compositing manager (xcompmgr), a window manager (Openbox),
# mingw-w64 and Wine for the Windows realisation.
GROUP[test]="qml6-module-qttest qt6-base-private-dev xvfb xauth xdotool x11-xserver-utils x11-utils imagemagick
  xcompmgr openbox g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine wine64"
# qmllint and clang-format for the lint step.
GROUP[lint]="qt6-declarative-dev-tools clang-format"

# The Windows program, cross-built: mingw-w64 with posix threads (as Qt for
# Windows needs) and the shader tools Qt Quick's CMake package asks for.
GROUP[windows]="g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 qt6-shadertools-dev"

missing=()
for group in "$@"; do
    [[ -n "${GROUP[$group]:-}" ]] || { echo "setup.sh: unknown group '$group'" >&2; exit 2; }
    for pkg in ${GROUP[$group]}; do
        status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
        [[ "$status" == "install ok installed" ]] || missing+=("$pkg")
    done
done
((${#missing[@]} == 0)) && exit 0

echo "Installing missing packages: ${missing[*]}"
SUDO=()
if [[ $(id -u) -ne 0 ]]; then
    command -v sudo > /dev/null || { echo "setup.sh: need root or sudo to install packages" >&2; exit 1; }
    SUDO=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${SUDO[@]}" apt-get update -qq
"${SUDO[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" > /dev/null
