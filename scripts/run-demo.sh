#!/usr/bin/env bash
# Builds the demo program (expert build with the simulated detector behind the
# HID link and the simulated bootloader behind the serial port) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake --preset demo >/dev/null
cmake --build --preset demo -j "$(nproc)"
cd build/demo/app
exec ./QUVA_Razezuvora_V2
