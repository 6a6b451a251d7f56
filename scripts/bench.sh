#!/usr/bin/env bash
# Builds the benchmarks in Release and runs them: the lookups on SQLite and PostgreSQL,
# the report engine and the exporters on SQLite, each database at 1,000,000 rows against
# its floor (and the lookups on Firebird), the load of twenty clients on PostgreSQL, and
# the screen's memory per open/close cycle.
#
#   scripts/bench.sh [bench_lookups options, e.g. --runs 1000 --engines sqlite]
#   scripts/bench.sh report     (the report engine only)
#   scripts/bench.sh export     (the CSV and XLSX exporters only)
#   scripts/bench.sh load       (20 clients on PostgreSQL for 60 s, then again with a restart)
#   scripts/bench.sh cycles     (memory per open/close cycle of the screen)
#   scripts/bench.sh databases  (each database at 1,000,000 rows against its floor)
#   scripts/bench.sh busy       (the lookups, Firebird's too, while every core runs another process)
#
# The million-row databases are made on the first run and reused: SQLite files in
# $FIS_BENCH_DATA (default build/bench/bench-data), PostgreSQL databases on a
# throw-away server of scripts/db-servers.sh kept in $FIS_DB_STATE (default
# /tmp/fis-bench-db) until `FIS_DB_STATE=/tmp/fis-bench-db scripts/db-servers.sh stop`.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${FIS_BENCH_BUILD:-$ROOT/build/bench}
DATA=${FIS_BENCH_DATA:-$BUILD/bench-data}
export FIS_DB_STATE=${FIS_DB_STATE:-/tmp/fis-bench-db}

section=all
case "${1:-}" in
report | export | load | cycles | databases | busy)
  section=$1
  shift
  ;;
esac

cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
mkdir -p "$DATA"

# A server left by an earlier run keeps its bench databases; otherwise start one.
postgresql() {
  local env_text
  if ! env_text=$("$ROOT/scripts/db-servers.sh" env 2>/dev/null) ||
    ! (eval "$env_text" && exec 3<>"/dev/tcp/$FIS_PG_HOST/$FIS_PG_PORT") 2>/dev/null; then
    FIS_BUILD_DIR=$BUILD "$ROOT/scripts/db-servers.sh" start
    env_text=$("$ROOT/scripts/db-servers.sh" env)
  fi
  eval "$env_text"
}

# The reader's rights in a bench database, as an office gives them: the host refuses a
# login that may write. The roles exist already, so the script's CREATE ROLE fails and is
# passed over.
reader_rights() {
  /usr/lib/postgresql/15/bin/psql -X -q -h "$FIS_PG_HOST" -p "$FIS_PG_PORT" \
    -U "$FIS_PG_ADMIN_USER" -d "$1" -f "$ROOT/db/postgresql/reader-role.sql" >/dev/null 2>&1 || true
}

lookups() {
cmake --build "$BUILD" --target bench_lookups fisdemo -j2

engines=sqlite
if [ "${FIS_BENCH_POSTGRESQL:-1}" = 1 ]; then
  postgresql
  engines=sqlite,postgresql
fi
# The busy run takes Firebird too: its statements wait on a thread of their own.
if [ "${with_firebird:-0}" = 1 ]; then engines+=,firebird; fi

QT_QPA_PLATFORM=offscreen "$BUILD/bin/bench_lookups" --data-dir "$DATA" --engines "$engines" "$@"
}

# The report engine: the shipped listing to PDF and in the preview at three sizes, each
# in a process of its own so that its peak memory is its own, and the reportlab peer at
# 100,000 rows in the same run.
report() {
  cmake --build "$BUILD" --target bench_report fisdemo -j2
  local n db out pdf100k="" cpu100k="" peer="" peercpu="" mem10k="" mem1m=""
  local view10k="" view1m="" last1m=""
  for n in 10000 100000 1000000; do
    db="$DATA/docs-$n.db"
    [ -f "$db" ] || "$BUILD/bin/fisdemo" --driver sqlite --database "$db" --documents "$n" >/dev/null
    echo "== $n rows"
    out=$(QT_QPA_PLATFORM=offscreen "$BUILD/bin/bench_report" --database "$db" --reports "$ROOT/reports" --pdf "$DATA/report-$n.pdf")
    echo "$out"
    local seconds cpu pages peak
    seconds=$(sed -n 's/^pdf: \([0-9.]*\) s.*/\1/p' <<<"$out")
    cpu=$(sed -n 's/.*(cpu \([0-9.]*\) s).*/\1/p' <<<"$out")
    pages=$(sed -n 's/.*, \([0-9]*\) pages.*/\1/p' <<<"$out")
    peak=$(sed -n 's/.*peak \([0-9]*\) MB.*/\1/p' <<<"$out")
    case $n in
      10000) mem10k=$peak ;;
      100000) pdf100k=$seconds cpu100k=$cpu ;;
      1000000) mem1m=$peak ;;
    esac
    out=$(QT_QPA_PLATFORM=offscreen "$BUILD/bin/bench_report" --database "$db" --reports "$ROOT/reports" --preview)
    echo "$out"
    case $n in
      10000) view10k=$(sed -n 's/.*peak \([0-9]*\) MB.*/\1/p' <<<"$out") ;;
      1000000)
        view1m=$(sed -n 's/.*peak \([0-9]*\) MB.*/\1/p' <<<"$out")
        last1m=$(sed -n 's/.*last page \([0-9.]*\) s.*/\1/p' <<<"$out")
        ;;
    esac
    if [ "$n" = 100000 ]; then
      out=$(/usr/bin/python3 "$ROOT/bench/reportlab_peer.py" "$db" "$ROOT/reports/FIS012_01.json" "$pages" "$DATA/peer-$n.pdf")
      echo "$out"
      peer=$(sed -n 's/^reportlab: \([0-9.]*\) s.*/\1/p' <<<"$out")
      peercpu=$(sed -n 's/.*(cpu \([0-9.]*\) s).*/\1/p' <<<"$out")
    fi
  done
  echo "== summary"
  awk -v a="$peer" -v b="$pdf100k" -v c="$peercpu" -v d="$cpu100k" 'BEGIN {
    printf "PDF at 100,000 rows: %.2f s against reportlab %.2f s: %.1fx faster (cpu %.2f s against %.2f s: %.1fx)\n", b, a, a / b, d, c, c / d }'
  awk -v a="$mem1m" -v b="$mem10k" 'BEGIN { printf "PDF peak memory 1,000,000 rows %d MB / 10,000 rows %d MB = %.2f\n", a, b, a / b }'
  awk -v a="$view1m" -v b="$view10k" -v l="$last1m" 'BEGIN {
    printf "preview peak memory 1,000,000 rows %d MB / 10,000 rows %d MB = %.2f; last page at 1,000,000 rows %.2f s%s\n",
      a, b, a / b, l, l < 2 ? " (< 2 s)" : " (OVER 2 s)" }'
}

# The exporters: XLSX of 100,000 rows against python3-xlsxwriter on the same rows, CSV of
# 1,000,000 rows, and each format's peak memory at 1,000,000 rows against 10,000 (the
# same 10,000 distinct rows repeated, so only the writer's own memory can grow).
export_formats() {
  cmake --build "$BUILD" --target bench_export -j2
  local run=("$BUILD/bin/bench_export" --reports "$ROOT/reports") format small large
  echo "== export"
  "${run[@]}" --format xlsx --rows 100000 --peer "$ROOT/bench/xlsxwriter_peer.py"
  for format in csv xlsx; do
    small=$("${run[@]}" --format $format --rows 10000 --pool 10000)
    large=$("${run[@]}" --format $format --rows 1000000 --pool 10000)
    echo "$small"
    echo "$large"
    awk -v a="$small" -v b="$large" -v f=$format 'BEGIN {
      sub(/.*peak /, "", a); sub(/.*peak /, "", b)
      printf "%s peak memory 1,000,000 / 10,000 rows: %.2fx (target <= 1.5x)\n", f, b / a }'
  done
}

# Twenty clerks, each its own process and connection, on a database of 10,000 documents
# (made once, kept with the server): 60 s as they are, then 60 s with the server
# restarted at 30 s.
load() {
  cmake --build "$BUILD" --target bench_load fisdemo -j2
  postgresql
  local db=fisload
  local psql=(/usr/lib/postgresql/15/bin/psql -X -q -tA -v ON_ERROR_STOP=1 -h "$FIS_PG_HOST"
    -p "$FIS_PG_PORT" -U "$FIS_PG_ADMIN_USER")
  if [ "$("${psql[@]}" -d "$db" -c 'SELECT COUNT(*) >= 10000 FROM DOCFISCAL' 2>/dev/null)" != t ]; then
    echo "== creating PostgreSQL database $db"
    "${psql[@]}" -d postgres -c "DROP DATABASE IF EXISTS $db"
    "${psql[@]}" -d postgres -c \
      "CREATE DATABASE $db ENCODING 'WIN1252' LC_COLLATE 'C' LC_CTYPE 'C' TEMPLATE template0"
    "$BUILD/bin/fisdemo" --driver postgresql --host "$FIS_PG_HOST" --port "$FIS_PG_PORT" \
      --user "$FIS_PG_ADMIN_USER" --database "$db" --documents 10000 >/dev/null
    reader_rights "$db"
    "${psql[@]}" -d "$db" -c "VACUUM ANALYZE"
  fi
  echo "== load: 20 clients, 60 s"
  "$BUILD/bin/bench_load" --database "$db" --clients 20 --seconds 60
  echo "== load: 20 clients, 60 s, server restarted at 30 s"
  "$BUILD/bin/bench_load" --database "$db" --clients 20 --seconds 60 --restart-at 30
}

# Each database at 1,000,000 documents: the listing to PDF and to CSV through fisreport,
# on two threads and then on one (FIS_REPORT_THREADS=1), against the floor measured in
# the same run, its statement read straight through the client library (bench_floor);
# then the lookups on Firebird at 1,000,000 branches against their raw statements.
databases() {
  cmake --build "$BUILD" --target bench_floor bench_lookups fisreport fisdemo -j2
  postgresql
  local n=1000000 pgdb=docs1m
  local sqlite_db="$DATA/docs-$n.db" fdb="$DATA/docs-$n.fdb"
  [ -f "$sqlite_db" ] || "$BUILD/bin/fisdemo" --driver sqlite --database "$sqlite_db" --documents $n >/dev/null
  local psql=(/usr/lib/postgresql/15/bin/psql -X -q -tA -v ON_ERROR_STOP=1 -h "$FIS_PG_HOST"
    -p "$FIS_PG_PORT" -U "$FIS_PG_ADMIN_USER")
  if [ "$("${psql[@]}" -d "$pgdb" -c "SELECT COUNT(*) = $n FROM DOCFISCAL" 2>/dev/null)" != t ]; then
    echo "== creating PostgreSQL database $pgdb"
    "${psql[@]}" -d postgres -c "DROP DATABASE IF EXISTS $pgdb"
    "${psql[@]}" -d postgres -c \
      "CREATE DATABASE $pgdb ENCODING 'WIN1252' LC_COLLATE 'C' LC_CTYPE 'C' TEMPLATE template0"
    "$BUILD/bin/fisdemo" --driver postgresql --host "$FIS_PG_HOST" --port "$FIS_PG_PORT" \
      --user "$FIS_PG_ADMIN_USER" --database "$pgdb" --documents $n >/dev/null
    reader_rights "$pgdb"
    "${psql[@]}" -d "$pgdb" -c "VACUUM ANALYZE"
  fi
  if [ ! -f "$fdb" ]; then
    echo "== creating Firebird database $fdb"
    rm -f "$fdb.carregando"
    echo "CREATE DATABASE '$fdb.carregando' USER 'SYSDBA' DEFAULT CHARACTER SET WIN1252;" | isql-fb -q
    "$BUILD/bin/fisdemo" --driver firebird --database "$fdb.carregando" --user SYSDBA \
      --documents $n >/dev/null
    mv "$fdb.carregando" "$fdb"
  fi

  local engine format threads floor seconds kb tmp
  tmp=$(mktemp)
  for engine in sqlite postgresql firebird; do
    local args
    case $engine in
      sqlite) args=(--driver sqlite --database "$sqlite_db") ;;
      postgresql) args=(--driver postgresql --host "$FIS_PG_HOST" --port "$FIS_PG_PORT"
        --user "$FIS_PG_USER" --database "$pgdb") ;;
      firebird) args=(--driver firebird --database "$fdb" --user FISLEITOR) ;;
    esac
    echo "== $engine, $n rows (load $(cut -d' ' -f1-3 /proc/loadavg))"
    local out
    out=$("$BUILD/bin/bench_floor" "${args[@]}" --reports "$ROOT/reports")
    echo "$out"
    floor=$(sed -n 's/^floor: \([0-9.]*\) s.*/\1/p' <<<"$out")
    for format in pdf csv; do
      for threads in 2 1; do
        FIS_REPORT_THREADS=$threads /usr/bin/time -f "%e %M" -o "$tmp" \
          "$BUILD/bin/fisreport" "${args[@]}" --reports "$ROOT/reports" --code FIS012 \
          --report "Listagem dos Documentos" --param P_DTENTRINI=2000-01-01 \
          --param P_DTENTRFIM=2100-01-01 --output "$DATA/out-$engine.$format" >/dev/null
        read -r seconds kb <"$tmp"
        awk -v e=$engine -v f=$format -v t=$threads -v s="$seconds" -v k="$kb" -v fl="$floor" 'BEGIN {
          printf "%s %s, %d thread%s: %.2f s, peak %d MB: %.2fx the floor %.2f s%s\n", e, f, t,
            t == 1 ? "" : "s", s, k / 1024, s / fl, fl, t == 2 ? (s / fl <= 1.5 ? " (<= 1.5x)" : " (OVER 1.5x)") : "" }'
      done
    done
  done
  rm -f "$tmp"
  echo "== firebird lookups (load $(cut -d' ' -f1-3 /proc/loadavg))"
  QT_QPA_PLATFORM=offscreen "$BUILD/bin/bench_lookups" --data-dir "$DATA" --engines firebird "$@"
}

# The lookups on a machine others keep busy: one endless loop per core, in processes of their
# own, for as long as the lookups run.
busy_pids=()
busy() {
  local i
  for ((i = 0; i < $(nproc); ++i)); do
    sh -c 'while :; do :; done' &
    busy_pids+=($!)
  done
  trap 'kill "${busy_pids[@]}" 2>/dev/null || true' EXIT
  echo "== every core busy ($(nproc) loops)"
  local with_firebird=1
  lookups "$@"
}

cycles() {
  cmake --build "$BUILD" --target bench_cycles -j2
  echo "== open/close cycles"
  QT_QPA_PLATFORM=offscreen "$BUILD/bin/bench_cycles" "$@"
}

case $section in
all)
  lookups "$@"
  report
  export_formats
  databases
  if [ "${FIS_BENCH_POSTGRESQL:-1}" = 1 ]; then
    load
  fi
  cycles
  ;;
report) report ;;
export) export_formats ;;
load) load ;;
cycles) cycles "$@" ;;
databases) databases "$@" ;;
busy) busy "$@" ;;
esac
