#!/usr/bin/env bash
# Renders the windows on a virtual X display and saves the screenshots under docs/.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${KAVELO_BUILD_DIR:-build}"
command -v xvfb-run >/dev/null || { apt-get update -qq && apt-get install -y -qq xvfb; }
cmake --build "$build_dir" --target kavelo-screenshots
mkdir -p docs
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x900x24 -dpi 96" \
  "$build_dir/tools/screenshots/kavelo-screenshots" docs
