#!/usr/bin/env bash
# Installs what is missing, builds the native program and starts Setup_iVOX on your display.
# Without a display it opens the window on a virtual one, saves a screenshot and says where.
set -euo pipefail
cd "$(dirname "$(realpath "$0")")/.."
tools/deps.sh native
cmake --preset linux >/dev/null
cmake --build --preset linux --target Setup_iVOX -j "$(nproc)"
if [ -n "${DISPLAY:-}" ]; then
    exec build/linux/app/Setup_iVOX
fi
echo "No display: opening the window on a virtual display."
tools/screenshot.sh --out build/linux/screenshots/run.png -- build/linux/app/Setup_iVOX
