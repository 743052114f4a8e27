#!/usr/bin/env bash
# Installs what is missing, builds, and runs the demo on an embedded SQLite database.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build -DQLNSALES_TESTS=OFF >/dev/null
exec build/qlnsales demo "$@"
