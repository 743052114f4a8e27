#!/usr/bin/env bash
# Builds and runs the throughput benchmarks on SQLite and on a throw-away PostgreSQL server.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build-bench -DCMAKE_BUILD_TYPE=Release -DQLNSALES_TESTS=OFF -DQLNSALES_BENCH=ON | tail -n 1
. scripts/pg.sh
trap pg_stop EXIT
pg_start
QLNSALES_BENCH_PG="$QLNSALES_TEST_PG" build-bench/qlnsales_bench "$@"
