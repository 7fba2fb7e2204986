#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and running the
# program need, and only those that are missing. Run as root (or with sudo
# available). Says what it does.
set -euo pipefail

packages=(
  # build tools
  cmake ninja-build g++ pkg-config clang locales
  # Qt 6: widgets, charts (its CMake config needs the OpenGL dev package),
  # serial port, SVG; the offscreen platform plugin for headless tests
  qt6-base-dev qt6-charts-dev libqt6opengl6-dev qt6-serialport-dev qt6-svg-dev
  qt6-qpa-plugins
  # without a font, text drawn on the offscreen platform silently disappears
  fonts-dejavu-core
  # HID link, device-change monitor, JPEG decoding, INI file
  libhidapi-dev libudev-dev libjpeg-dev libsimpleini-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev umockdev libumockdev-dev stm32flash srecord
  # cross build of the Qt-free layers for Windows
  g++-mingw-w64-x86-64-posix
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#packages[@]} packages are already installed."
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then SUDO="sudo"; else
    echo "install-deps: these packages are missing and I am not root: ${missing[*]}" >&2
    exit 1
  fi
fi

echo "install-deps: installing ${#missing[@]} missing package(s): ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
echo "install-deps: done."
