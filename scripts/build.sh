#!/usr/bin/env bash
# Configures and builds into ${KAVELO_BUILD_DIR:-build}. Options come from the environment:
# KAVELO_WERROR=ON, KAVELO_SANITIZE=address,undefined, KAVELO_BUILD_TYPE=Debug|Release.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${KAVELO_BUILD_DIR:-build}"
cmake -S . -B "$build_dir" -G Ninja \
  -DCMAKE_BUILD_TYPE="${KAVELO_BUILD_TYPE:-RelWithDebInfo}" \
  -DKAVELO_WERROR="${KAVELO_WERROR:-OFF}" \
  -DKAVELO_SANITIZE="${KAVELO_SANITIZE:-}" >/dev/null
cmake --build "$build_dir" -j "$(nproc)"
