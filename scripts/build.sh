#!/usr/bin/env bash
# Configures and builds ZAPH, its tests and benchmarks into build/ (or the
# folder given as $ZAPH_BUILD_DIR). Extra arguments go to the configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="${ZAPH_BUILD_DIR:-build}"
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE="${ZAPH_BUILD_TYPE:-RelWithDebInfo}" "$@" >/dev/null
cmake --build "$BUILD_DIR" -j "$(nproc)"
