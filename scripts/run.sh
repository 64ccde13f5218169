#!/usr/bin/env bash
# Installs what is missing, builds, and starts ZAPH.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh
exec "${ZAPH_BUILD_DIR:-build}/bin/ZAPH" "$@"
