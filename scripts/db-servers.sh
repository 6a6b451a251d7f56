#!/usr/bin/env bash
# Throw-away test databases for the cross-database tests.
#
#   FIS_BUILD_DIR=build/dev scripts/db-servers.sh start   # PostgreSQL + Firebird, demo rows loaded
#   eval "$(scripts/db-servers.sh env)"                     # the variables the tests read
#   scripts/db-servers.sh stop                              # stops PostgreSQL, removes everything
#   scripts/db-servers.sh pg-stop | pg-start                # the same PostgreSQL stopped, started again
#
# PostgreSQL 15 runs as the postgres user (the server refuses root) on 127.0.0.1, a
# non-default port and a data directory under /tmp. Firebird 3 is used embedded: no
# server at all, the QIBASE driver opens the database file by path, as root, and the
# engine applies the SQL rights of the user name it is given (FISLEITOR: SELECT only).
# Embedded Firebird lets one process at a time open a file, so tests copy it first.
#
# "env" prints FIS_PG_HOST, FIS_PG_PORT, FIS_PG_DATABASE, FIS_PG_USER (fisleitor, SELECT
# only), FIS_FB_DATABASE, FIS_FB_USER (FISLEITOR) and the owners FIS_PG_ADMIN_USER and
# FIS_FB_ADMIN_USER. FIS_DB_STATE (default /tmp/fis-db-servers) and FIS_PG_PORT (default:
# the first free port from 54329) let two instances live side by side.
set -euo pipefail

STATE=${FIS_DB_STATE:-/tmp/fis-db-servers}
ROOT=$(cd "$(dirname "$0")/.." && pwd)
PG_BIN=/usr/lib/postgresql/15/bin
PG_DB=fis
PG_READER=fisleitor
FB_READER=FISLEITOR

die() {
  echo "db-servers: $*" >&2
  exit 1
}

as_postgres() {
  runuser -u postgres -- "$@"
}

port_in_use() {
  (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

pg_stop() {
  if [ -f "$STATE/pg/data/postmaster.pid" ]; then
    as_postgres "$PG_BIN/pg_ctl" -D "$STATE/pg/data" -m immediate -w stop >/dev/null 2>&1 || true
  fi
}

pg_start() {
  as_postgres "$PG_BIN/pg_ctl" -D "$STATE/pg/data" -l "$STATE/pg/server.log" -w -t 30 \
    -o "$(cat "$STATE/pg/options")" start >/dev/null || die "PostgreSQL did not start; see $STATE/pg/server.log"
}

stop() {
  pg_stop
  rm -rf "$STATE"
}

fisdemo() {
  FIS_DB_PASSWORD=${FIS_DB_PASSWORD:-} "$FIS_BUILD_DIR/bin/fisdemo" "$@" 2>>"$STATE/load.log" ||
    die "fisdemo $* failed; see $STATE/load.log"
}

start_postgresql() {
  local port=${FIS_PG_PORT:-}
  if [ -z "$port" ]; then
    port=54329
    while port_in_use "$port"; do
      port=$((port + 1))
      [ "$port" -lt 54400 ] || die "no free port for PostgreSQL"
    done
  elif port_in_use "$port"; then
    die "port $port is already in use"
  fi

  mkdir -p "$STATE/pg"
  chown postgres: "$STATE/pg"
  # No fsync anywhere: the cluster lives as long as one CI run.
  as_postgres "$PG_BIN/initdb" -D "$STATE/pg/data" -U postgres -A trust -E UTF8 \
    --locale=C.UTF-8 --no-sync >"$STATE/pg/initdb.log" 2>&1 || die "initdb failed; see $STATE/pg/initdb.log"
  echo "-p $port -k $STATE/pg -c listen_addresses=127.0.0.1 -c fsync=off -c synchronous_commit=off -c full_page_writes=off" \
    >"$STATE/pg/options"
  pg_start

  local psql=("$PG_BIN/psql" -X -q -v ON_ERROR_STOP=1 -h 127.0.0.1 -p "$port" -U postgres)
  # WIN1252 like the rest of the system; C collation orders codes byte by byte, as
  # SQLite and Firebird do.
  "${psql[@]}" -d postgres -c \
    "CREATE DATABASE $PG_DB ENCODING 'WIN1252' LC_COLLATE 'C' LC_CTYPE 'C' TEMPLATE template0"
  fisdemo --driver postgresql --host 127.0.0.1 --port "$port" --user postgres --database "$PG_DB"
  # The reader can only read, even before the data module makes its session read-only.
  "${psql[@]}" -d "$PG_DB" -f "$ROOT/db/postgresql/reader-role.sql"
  PG_PORT=$port
}

start_firebird() {
  mkdir -p "$STATE/fb"
  local fdb="$STATE/fb/fis.fdb"
  isql-fb -q >"$STATE/fb/create.log" 2>&1 <<SQL || die "Firebird database not created; see $STATE/fb/create.log"
CREATE DATABASE '$fdb' USER 'SYSDBA' DEFAULT CHARACTER SET WIN1252;
SQL
  # The owner loads the rows; the schema grants FISLEITOR its read rights.
  fisdemo --driver firebird --database "$fdb" --user SYSDBA
  FB_DATABASE=$fdb
}

start() {
  [ "$(id -u)" -eq 0 ] || die "run as root (PostgreSQL is started as the postgres user)"
  [ -n "${FIS_BUILD_DIR:-}" ] || die "set FIS_BUILD_DIR to the build directory"
  [ -x "$FIS_BUILD_DIR/bin/fisdemo" ] || die "$FIS_BUILD_DIR/bin/fisdemo not built"
  FIS_BUILD_DIR=$(cd "$FIS_BUILD_DIR" && pwd)
  stop
  mkdir -p "$STATE"
  chmod 755 "$STATE"
  # A start that fails half way leaves no server running.
  trap '[ $? -eq 0 ] || pg_stop' EXIT

  start_postgresql
  start_firebird

  cat >"$STATE/env" <<ENV
export FIS_PG_HOST=127.0.0.1
export FIS_PG_PORT=$PG_PORT
export FIS_PG_DATABASE=$PG_DB
export FIS_PG_USER=$PG_READER
export FIS_PG_ADMIN_USER=postgres
export FIS_FB_DATABASE=$FB_DATABASE
export FIS_FB_USER=$FB_READER
export FIS_FB_ADMIN_USER=SYSDBA
ENV
  trap - EXIT
  echo "db-servers: PostgreSQL on 127.0.0.1:$PG_PORT, Firebird at $FB_DATABASE" >&2
}

case "${1:-}" in
start) start ;;
stop) stop ;;
# For the tests of a lost connection: the same cluster stopped (fast: sessions are
# terminated) and started again on its port.
pg-stop)
  [ -f "$STATE/pg/options" ] || die "not started"
  as_postgres "$PG_BIN/pg_ctl" -D "$STATE/pg/data" -m fast -w stop >/dev/null
  ;;
pg-start)
  [ -f "$STATE/pg/options" ] || die "not started"
  pg_start
  ;;
env)
  [ -f "$STATE/env" ] || die "not started (no $STATE/env)"
  cat "$STATE/env"
  ;;
*)
  echo "usage: $0 start|stop|env|pg-stop|pg-start" >&2
  exit 2
  ;;
esac
