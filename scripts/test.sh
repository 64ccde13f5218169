#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
BUILD_DIR="${ZAPH_BUILD_DIR:-build}"
export QT_QPA_PLATFORM=xcb
exec bash scripts/with-xvfb.sh \
  ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$(nproc)" "$@"
