#!/usr/bin/env bash
# Installs what is missing, builds, and opens the tool with a simulated Kavelo at 127.0.0.2
# running beside it; the simulator stops when the tool closes.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
build_dir="${KAVELO_BUILD_DIR:-build}"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != "offscreen" ]; then
  echo "The Kavelo Update Tool is a desktop program, but no display was found (neither DISPLAY"
  echo "nor WAYLAND_DISPLAY is set). Start it from a graphical desktop session, or on a virtual"
  echo "display with:  apt-get install xvfb && xvfb-run ./scripts/run.sh"
  exit 1
fi

"$build_dir/sim/kavelo-sim" --address 127.0.0.2 --flash-file "$build_dir/kavelo-sim-flash.bin" &
sim=$!
trap 'kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null || true' EXIT
echo "A simulated Kavelo answers at 127.0.0.2. In the tool, type 127.0.0.2 into the IP address"
echo "field and press Connect, then Update Kavelo or Update Radio Module."
"$build_dir/kavelo-update-tool"
