#!/usr/bin/env bash
# Sourced by test.sh: starts a throw-away PostgreSQL server (its own data directory in a
# temporary folder, loopback only) and exports QLNSALES_TEST_PG. pg_stop stops it.
pg_bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
pg_dir=$(mktemp -d /tmp/qlnsales-pg.XXXXXX)
chmod 755 "$pg_dir"
pg_port=$((20000 + RANDOM % 20000))
pg_user=$(id -un)

as_pg() {
  # The server refuses to run as root.
  if [ "$(id -u)" -eq 0 ]; then
    su postgres -s /bin/sh -c "$*"
  else
    sh -c "$*"
  fi
}

pg_start() {
  [ "$(id -u)" -eq 0 ] && { chown postgres "$pg_dir"; pg_user=postgres; }
  as_pg "'$pg_bin/initdb' -D '$pg_dir/data' -A trust -U '$pg_user' -E UTF8 --no-locale" >/dev/null
  as_pg "'$pg_bin/pg_ctl' -D '$pg_dir/data' -l '$pg_dir/log' -w -o \"-c listen_addresses=127.0.0.1 -p $pg_port -k '$pg_dir' -c fsync=off -c synchronous_commit=off -c full_page_writes=off -c max_connections=200\" start" >/dev/null
  as_pg "'$pg_bin/createdb' -h 127.0.0.1 -p $pg_port -U '$pg_user' qlnsales_test"
  export QLNSALES_TEST_PG="host=127.0.0.1 port=$pg_port user=$pg_user dbname=qlnsales_test"
}

pg_stop() {
  if [ -f "$pg_dir/data/postmaster.pid" ]; then
    as_pg "'$pg_bin/pg_ctl' -D '$pg_dir/data' -m immediate -w stop" >/dev/null 2>&1 || true
  fi
  rm -rf "$pg_dir"
}
