#!/usr/bin/env bash
# Installs what is missing, builds the program into build/demo, and runs the demo on an embedded
# SQLite database.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh -q demo
exec build/demo/qlnsales demo "$@"
