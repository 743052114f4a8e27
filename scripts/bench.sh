#!/usr/bin/env bash
# Builds the throughput benchmark into build/bench and runs it on an SQLite file and on a throw-away
# PostgreSQL server. QLNSALES_BENCH_KIND picks the documents (delivery, memo or all, the default);
# QLNSALES_BENCH_DOCS sets the documents per measurement (default 500).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh -q bench
. scripts/pg.sh
trap pg_stop EXIT
pg_start
QLNSALES_BENCH_PG="$QLNSALES_TEST_PG" build/bench/qlnsales_bench
