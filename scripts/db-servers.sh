#!/usr/bin/env bash
# Throw-away test databases for the cross-database tests.
#
#   FIS_BUILD_DIR=build/dev scripts/db-servers.sh start   # PostgreSQL + Firebird, demo rows loaded
#   eval "$(scripts/db-servers.sh env)"                     # the variables the tests read
#   scripts/db-servers.sh stop                              # stops PostgreSQL, removes everything
#   scripts/db-servers.sh pg-stop | pg-start                # the same PostgreSQL stopped, started again
#
# PostgreSQL 15 runs as the postgres user (the server refuses root) on 127.0.0.1, a
# non-default port and a data directory under /tmp. Firebird 3 is there twice. Embedded:
# the QIBASE driver opens the database file by path, as root, and the engine believes any
# user name it is given, so only the read-only transaction keeps it a reader; tests copy
# the file, as one process at a time may open it. And the SuperServer, as a shared office
# runs it: /usr/sbin/firebird as the firebird user on 127.0.0.1, with a root folder, lock
# folder and security database of its own, where SYSDBA and FISLEITOR have real
# passwords (random, in files only root reads).
#
# "env" prints FIS_PG_HOST, FIS_PG_PORT, FIS_PG_DATABASE, FIS_PG_USER (fisleitor, SELECT
# only), FIS_PG_PASSWORD_USER (a reader that must give the password in FIS_PG_PASSWORD_FILE),
# FIS_FB_DATABASE, FIS_FB_USER (FISLEITOR), the server's FIS_FB_HOST, FIS_FB_PORT,
# FIS_FB_SERVER_DATABASE, FIS_FB_PASSWORD_FILE (FISLEITOR's) and FIS_FB_ADMIN_PASSWORD_FILE,
# and the owners FIS_PG_ADMIN_USER and FIS_FB_ADMIN_USER. FIS_DB_STATE (default
# /tmp/fis-db-servers), FIS_PG_PORT (default: the first free port from 54329) and
# FIS_FB_PORT (default: the first free port from 3050) let two instances live side by side.
set -euo pipefail

STATE=${FIS_DB_STATE:-/tmp/fis-db-servers}
ROOT=$(cd "$(dirname "$0")/.." && pwd)
PG_BIN=/usr/lib/postgresql/15/bin
PG_DB=fis
PG_READER=fisleitor
FB_READER=FISLEITOR
FB_ROOT=/usr/lib/x86_64-linux-gnu/firebird/3.0

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

fb_stop() {
  local pid
  pid=$(cat "$STATE/fbs/server.pid" 2>/dev/null) || return 0
  kill "$pid" 2>/dev/null || return 0
  for _ in $(seq 50); do
    kill -0 "$pid" 2>/dev/null || return 0
    sleep 0.1
  done
  kill -9 "$pid" 2>/dev/null || true
}

stop() {
  pg_stop
  fb_stop
  rm -rf "$STATE"
}

free_port() {
  local port=$1 last=$2
  while port_in_use "$port"; do
    port=$((port + 1))
    [ "$port" -lt "$last" ] || die "no free port from $1"
  done
  echo "$port"
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
  # A reader that must give its password, as an office's server asks: the host's start
  # with a wrong one is tested against it.
  (umask 077 && head -c 18 /dev/urandom | base64 | tr -d '/+=' >"$STATE/pg/fissenha.password")
  "${psql[@]}" -d "$PG_DB" -c "CREATE ROLE fissenha LOGIN INHERIT IN ROLE $PG_READER \
    PASSWORD '$(cat "$STATE/pg/fissenha.password")'; \
    ALTER ROLE fissenha SET default_transaction_read_only = on"
  sed -i '1i host all fissenha 127.0.0.1/32 scram-sha-256' "$STATE/pg/data/pg_hba.conf"
  as_postgres "$PG_BIN/pg_ctl" -D "$STATE/pg/data" reload >/dev/null
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

start_firebird_server() {
  local port=${FIS_FB_PORT:-}
  if [ -z "$port" ]; then
    port=$(free_port 3050 3150)
  elif port_in_use "$port"; then
    die "port $port is already in use"
  fi
  local dir="$STATE/fbs"
  mkdir -p "$dir/root" "$dir/lock" "$dir/data"
  # The package's own files, but this instance's configuration and users.
  for f in UDF firebird.msg lib plugins plugins.conf fbtrace.conf; do
    ln -s "$FB_ROOT/$f" "$dir/root/$f"
  done
  # The engine loads no character set module through a symbolic link: WIN1252 needs a copy.
  mkdir "$dir/root/intl"
  cp "$FB_ROOT/intl/libfbintl.so" /etc/firebird/3.0/fbintl.conf "$dir/root/intl/"
  cp /var/lib/firebird/3.0/system/security3.fdb "$dir/security3.fdb"
  cat >"$dir/root/firebird.conf" <<CONF
RemoteServicePort = $port
RemoteBindAddress = 127.0.0.1
SecurityDatabase = $dir/security3.fdb
IpcName = FIS_$port
UdfAccess = None
ExternalFileAccess = None
CONF
  echo "security.db = $dir/security3.fdb" >"$dir/root/databases.conf"
  (umask 077 && head -c 18 /dev/urandom | base64 | tr -d '/+=' >"$dir/sysdba.password")
  (umask 077 && head -c 18 /dev/urandom | base64 | tr -d '/+=' >"$dir/reader.password")
  FIREBIRD="$dir/root" FIREBIRD_LOCK="$dir/lock" isql-fb -q >"$dir/users.log" 2>&1 <<SQL ||
CONNECT '$dir/security3.fdb' USER 'SYSDBA';
CREATE OR ALTER USER SYSDBA PASSWORD '$(cat "$dir/sysdba.password")' USING PLUGIN Srp;
CREATE OR ALTER USER $FB_READER PASSWORD '$(cat "$dir/reader.password")' USING PLUGIN Srp;
COMMIT;
SQL
    die "Firebird users not created; see $dir/users.log"
  # The same rows as the embedded file, served to authenticated users only.
  cp "$FB_DATABASE" "$dir/data/fis.fdb"
  chown -R firebird: "$dir"
  chmod 600 "$dir/sysdba.password" "$dir/reader.password"
  chown root: "$dir/sysdba.password" "$dir/reader.password"
  (cd / && FIREBIRD="$dir/root" FIREBIRD_LOCK="$dir/lock" \
    exec setpriv --reuid firebird --regid firebird --init-groups /usr/sbin/firebird \
    >"$dir/server.log" 2>&1 </dev/null) &
  echo $! >"$dir/server.pid"
  for _ in $(seq 100); do
    port_in_use "$port" && break
    kill -0 "$(cat "$dir/server.pid")" 2>/dev/null || die "Firebird server ended; see $dir/server.log"
    sleep 0.1
  done
  port_in_use "$port" || die "Firebird server not listening on $port; see $dir/server.log"
  FB_PORT=$port
  FB_SERVER_DATABASE=$dir/data/fis.fdb
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
  trap '[ $? -eq 0 ] || { pg_stop; fb_stop; }' EXIT

  start_postgresql
  start_firebird
  start_firebird_server

  cat >"$STATE/env" <<ENV
export FIS_PG_HOST=127.0.0.1
export FIS_PG_PORT=$PG_PORT
export FIS_PG_DATABASE=$PG_DB
export FIS_PG_USER=$PG_READER
export FIS_PG_ADMIN_USER=postgres
export FIS_FB_DATABASE=$FB_DATABASE
export FIS_FB_USER=$FB_READER
export FIS_FB_ADMIN_USER=SYSDBA
export FIS_FB_HOST=127.0.0.1
export FIS_FB_PORT=$FB_PORT
export FIS_FB_SERVER_DATABASE=$FB_SERVER_DATABASE
export FIS_FB_PASSWORD_FILE=$STATE/fbs/reader.password
export FIS_FB_ADMIN_PASSWORD_FILE=$STATE/fbs/sysdba.password
export FIS_PG_PASSWORD_USER=fissenha
export FIS_PG_PASSWORD_FILE=$STATE/pg/fissenha.password
ENV
  trap - EXIT
  echo "db-servers: PostgreSQL on 127.0.0.1:$PG_PORT, Firebird at $FB_DATABASE and on 127.0.0.1:$FB_PORT" >&2
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
