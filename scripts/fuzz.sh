#!/usr/bin/env bash
# fuzz.sh [SECONDS]: builds build/fuzz and fuzzes the automation protocol's line handler and the
# value conversions for SECONDS (60), starting from the corpus kept in fuzz/corpus. That corpus
# is only read: what the run learns goes to a temporary folder, so a run leaves the repository as
# it was. A finding is kept in build/fuzz/findings/ and fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

scripts/build.sh -q fuzz
mkdir -p build/fuzz/findings
learned=$(mktemp -d)
trap 'rm -rf "$learned"' EXIT
UBSAN_OPTIONS=print_stacktrace=1 build/fuzz/qlnsales_fuzz -max_total_time="$seconds" \
  -timeout=30 -rss_limit_mb=4096 -max_len=8192 -print_final_stats=1 \
  -artifact_prefix=build/fuzz/findings/ "$learned" fuzz/corpus
