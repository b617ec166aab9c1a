#!/usr/bin/env bash
# Installs what is missing, builds, and starts the simulated handheld at 127.0.0.2 (the tool's
# default partner; the tool's window joins it once it exists).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
build_dir="${KAVELO_BUILD_DIR:-build}"
echo "Simulated Kavelo listening on 127.0.0.2:21105 (Ctrl+C ends it)."
exec "$build_dir/sim/kavelo-sim" --address 127.0.0.2 -v
