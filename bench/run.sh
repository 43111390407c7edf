#!/usr/bin/env bash
# Builds the benchmarks in release mode, starts what they need (an application
# server on SQLite and one on a throw-away PostgreSQL cluster on loopback),
# runs every measurement with bounded counts and times, and prints one table:
# target, measured, baseline, ratio, its spread, limit, verdict. Each ratio is
# measured in rounds, the measured path and its baseline in turn (inside one
# process where the program measures both, otherwise one process each, in
# turn); the table gives the median of the rounds and their spread, and a row
# whose spread crosses its limit is "unstable" instead of pass or fail. The
# disk's sync time and the load at the start and the end go above the table.
#
#   bench/run.sh [--no-build]
#
# BENCH_BUILD_DIR (default build-bench), BENCH_WORK (default
# /tmp/servcliente-bench), BENCH_ROUNDS (default 5) and BENCH_LOAD_SECONDS
# (one round of a load row, default 4) may be set. Everything the run starts
# is stopped and its files removed when it ends (BENCH_KEEP=1 keeps them).
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BENCH_BUILD_DIR:-$ROOT/build-bench}
WORK=${BENCH_WORK:-/tmp/servcliente-bench}
PGBIN=${SERVCLIENTE_PG_BIN:-/usr/lib/postgresql/15/bin}
LOAD_SECONDS=${BENCH_LOAD_SECONDS:-4}
ROUNDS=${BENCH_ROUNDS:-5}
BIN=$BUILD/bin
export BENCH_WORK=$WORK

if [ "${1:-}" != "--no-build" ]; then
    echo "== building (release) into $BUILD" >&2
    mkdir -p "$BUILD"
    cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DSERVCLIENTE_BENCH=ON -DSERVCLIENTE_GUI=ON \
        -DSERVCLIENTE_TESTS=OFF >"$BUILD/bench-cmake.log" 2>&1 || { cat "$BUILD/bench-cmake.log" >&2; exit 1; }
    cmake --build "$BUILD" -j2 --target appserver PKG_ZEL31500 bench_seed bench_calls bench_screen bench_load \
        bench_memory bench_gui >"$BUILD/bench-build.log" 2>&1 || { tail -50 "$BUILD/bench-build.log" >&2; exit 1; }
fi

# The build's files go to the disk before anything is timed: their write-back
# would compete with the syncs that the rows measure.
sync

as_postgres() {
    if [ "$(id -u)" -eq 0 ]; then
        runuser -u postgres -- "$@"
    else
        "$@"
    fi
}

PIDS=()
PG_STARTED=0
cleanup() {
    for pid in "${PIDS[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    if [ "$PG_STARTED" = 1 ]; then
        as_postgres "$PGBIN/pg_ctl" -D "$WORK/pg/data" -m fast -w stop >/dev/null 2>&1 || true
    fi
    if [ "${BENCH_KEEP:-0}" != 1 ]; then
        rm -rf "$WORK"
    fi
}
trap cleanup EXIT

free_port() {
    local port
    for port in $(seq 55320 55420); do
        if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
            echo "$port"
            return 0
        fi
    done
    echo "run.sh: no free port between 55320 and 55420" >&2
    return 1
}

# Starts an application server on DB and sets PORT to its port. It runs in
# this shell (not in a command substitution) so that PIDS keeps its process.
start_appserver() {
    local name=$1 db=$2 out="$WORK/appserver-$1.out"
    # 32 operators from one address open their connections at once.
    "$BIN/appserver" --db "$db" --listen 127.0.0.1:0 --max-connections 64 --max-handshakes-per-address 32 --max-sessions-per-address 64 \
        >"$out" 2>"$WORK/appserver-$name.log" &
    PIDS+=($!)
    for _ in $(seq 1 100); do
        if grep -q "^listening on" "$out" 2>/dev/null; then
            PORT=$(sed -n 's/^listening on .*:\([0-9]*\)$/\1/p' "$out" | head -1)
            return 0
        fi
        sleep 0.1
    done
    echo "run.sh: the $name application server did not start:" >&2
    cat "$WORK/appserver-$name.log" >&2
    return 1
}

# Writes to FILE the median and 90th percentile of 200 durable 4 KB writes
# (pwrite and fdatasync over a file already on the disk) in the work folder,
# and the load average.
machine() {
    python3 - "$WORK/sync-probe" "$1" <<'PY'
import json, os, statistics, sys, time
probe, out = sys.argv[1], sys.argv[2]
fd = os.open(probe, os.O_RDWR | os.O_CREAT | os.O_TRUNC, 0o600)
block = b"x" * 4096
os.write(fd, block * 16)
os.fsync(fd)
times = []
for i in range(200):
    start = time.perf_counter()
    os.pwrite(fd, block, (i % 16) * 4096)
    os.fdatasync(fd)
    times.append((time.perf_counter() - start) * 1e6)
os.close(fd)
os.unlink(probe)
times.sort()
with open("/proc/loadavg") as f:
    load = [float(v) for v in f.read().split()[:3]]
json.dump({"fsync_p50_us": statistics.median(times), "fsync_p90_us": times[int(0.9 * (len(times) - 1))],
           "load": load, "time": time.time()}, open(out, "w"))
PY
}

rm -rf "$WORK"
mkdir -p "$WORK"
chmod 755 "$WORK"
machine "$WORK/machine-start.json"

echo "== PostgreSQL cluster (durable: fsync and synchronous_commit on)" >&2
mkdir -p "$WORK/pg"
[ "$(id -u)" -eq 0 ] && chown postgres: "$WORK/pg"
as_postgres "$PGBIN/initdb" -D "$WORK/pg/data" -U postgres -A trust -E UTF8 --no-locale >"$WORK/pg/initdb.log" 2>&1 ||
    { cat "$WORK/pg/initdb.log" >&2; exit 1; }
PGPORT=$(free_port)
as_postgres "$PGBIN/pg_ctl" -D "$WORK/pg/data" -l "$WORK/pg/server.log" -w -t 60 \
    -o "-p $PGPORT -k $WORK/pg -c listen_addresses=127.0.0.1 -c max_connections=100" start >/dev/null ||
    { cat "$WORK/pg/server.log" >&2; exit 1; }
PG_STARTED=1
as_postgres "$PGBIN/createdb" -h 127.0.0.1 -p "$PGPORT" -U postgres servcliente_bench
PG_URL="postgresql://postgres@127.0.0.1:$PGPORT/servcliente_bench"

echo "== seeding" >&2
SQLITE_DB="$WORK/server.db"
"$BIN/bench_seed" "$SQLITE_DB"
"$BIN/bench_seed" "$PG_URL"

echo "== application servers" >&2
export BENCH_SQLITE_DB=$SQLITE_DB BENCH_PG_URL=$PG_URL
start_appserver sqlite "$SQLITE_DB"
BENCH_SQLITE_PORT=$PORT
start_appserver postgresql "$PG_URL"
BENCH_PG_PORT=$PORT
start_appserver postgresql-2 "$PG_URL"
BENCH_PG_PORT_2=$PORT
export BENCH_SQLITE_PORT BENCH_PG_PORT

echo "== 1: round trips, $ROUNDS rounds" >&2
"$BIN/bench_calls" --rounds "$ROUNDS" --benchmark_out="$WORK/calls.json" --benchmark_out_format=json >&2
echo "== 2, 3: MontaLista and move-all on the screen, $ROUNDS rounds" >&2
"$BIN/bench_screen" --rounds "$ROUNDS" --benchmark_out="$WORK/screen.json" --benchmark_out_format=json >&2

echo "== 4: 16 operators against pgbench running the server's statements, ${LOAD_SECONDS}s each, $ROUNDS rounds in turn" >&2
# The statements the server sends for one change, prepared: each client
# inserts its own assignment with its audit row and deletes it again, in turn
# (k counts the client's transactions), as bench_load's operators do.
cat >"$WORK/pgbench.sql" <<'SQL'
\set k :k + 1
\set n :client_id + 17
\if :k % 2 = 1
WITH change AS (INSERT INTO SERVCLIE (CDFILIAL, CDCLIENTE, CDSERVFILI) VALUES ('RTRP', 'OP' || CAST(:n AS text), lpad(CAST(:n AS text), 5, '0')) ON CONFLICT DO NOTHING RETURNING 1) INSERT INTO AUDITORIA (DTAUDITORIA, NMOPERADOR, NMENDERECO, NMMETODO, CDFILIAL, CDCLIENTE, CDSERVFILI, DSACAO, NRLINHAS) SELECT '2026-12-08T01:00:00.000000Z', '127.0.0.1:50000', '127.0.0.1:50000', 'ApCoServClie', 'RTRP', 'OP' || CAST(:n AS text), lpad(CAST(:n AS text), 5, '0'), 'inserted', CAST(1 AS integer) WHERE EXISTS (SELECT 1 FROM change);
\else
WITH change AS (DELETE FROM SERVCLIE WHERE CDFILIAL = 'RTRP' AND CDCLIENTE = 'OP' || CAST(:n AS text) AND CDSERVFILI = lpad(CAST(:n AS text), 5, '0') RETURNING 1) INSERT INTO AUDITORIA (DTAUDITORIA, NMOPERADOR, NMENDERECO, NMMETODO, CDFILIAL, CDCLIENTE, CDSERVFILI, DSACAO, NRLINHAS) SELECT '2026-12-08T01:00:00.000000Z', '127.0.0.1:50000', '127.0.0.1:50000', 'ApCoServClie', 'RTRP', 'OP' || CAST(:n AS text), lpad(CAST(:n AS text), 5, '0'), 'deleted', CAST(1 AS integer) WHERE CASE WHEN EXISTS (SELECT 1 FROM change) THEN TRUE ELSE 1 / ((SELECT COUNT(*) FROM CLIENTE WHERE CDFILIAL = 'RTRP' AND CDCLIENTE = 'OP' || CAST(:n AS text)) * (SELECT COUNT(*) FROM SERVFILI WHERE CDFILIAL = 'RTRP' AND CDSERVFILI = lpad(CAST(:n AS text), 5, '0'))) = 0 END;
\endif
SQL
for round in $(seq 1 "$ROUNDS"); do
    pgbench -n -M prepared -D k=0 -c 16 -j 2 -T "$LOAD_SECONDS" -l --log-prefix="$WORK/pgbench-log-$round" \
        -f "$WORK/pgbench.sql" "$PG_URL" >"$WORK/pgbench-$round.txt" 2>&1 || { cat "$WORK/pgbench-$round.txt" >&2; exit 1; }
    grep "^tps" "$WORK/pgbench-$round.txt" >&2
    "$BIN/bench_load" --port "$BENCH_PG_PORT" --operators 16 --seconds "$LOAD_SECONDS" >"$WORK/load-pg-$round.json"
    cat "$WORK/load-pg-$round.json" >&2
done
echo "== 4: 16 operators on SQLite against the same transaction run by 16 threads in process" >&2
for round in $(seq 1 "$ROUNDS"); do
    "$BIN/bench_load" --direct "$SQLITE_DB" --operators 16 --first 17 --seconds "$LOAD_SECONDS" \
        >"$WORK/load-sqlite-direct-$round.json"
    cat "$WORK/load-sqlite-direct-$round.json" >&2
    "$BIN/bench_load" --port "$BENCH_SQLITE_PORT" --operators 16 --seconds "$LOAD_SECONDS" \
        >"$WORK/load-sqlite-$round.json"
    cat "$WORK/load-sqlite-$round.json" >&2
done

echo "== 32 operators on PostgreSQL: on one server, then split over two (report only)" >&2
"$BIN/bench_load" --port "$BENCH_PG_PORT" --operators 32 --seconds "$LOAD_SECONDS" >"$WORK/load-32-one.json"
cat "$WORK/load-32-one.json" >&2
"$BIN/bench_load" --port "$BENCH_PG_PORT,$BENCH_PG_PORT_2" --operators 32 --seconds "$LOAD_SECONDS" \
    >"$WORK/load-32-two.json"
cat "$WORK/load-32-two.json" >&2

echo "== 7: live updates, 16 watchers on one client while 16 operators write, ${LOAD_SECONDS}s each, $ROUNDS rounds" >&2
# Without watchers, then with them, in turn, each round; on PostgreSQL the watchers
# are on the second server, so that the updates cross servers.
for round in $(seq 1 "$ROUNDS"); do
    "$BIN/bench_load" --port "$BENCH_SQLITE_PORT" --operators 16 --seconds "$LOAD_SECONDS" \
        >"$WORK/live-sqlite-none-$round.json"
    "$BIN/bench_load" --port "$BENCH_SQLITE_PORT" --operators 16 --seconds "$LOAD_SECONDS" --watchers 16 \
        >"$WORK/live-sqlite-$round.json"
    "$BIN/bench_load" --port "$BENCH_PG_PORT,$BENCH_PG_PORT_2" --operators 16 --seconds "$LOAD_SECONDS" \
        >"$WORK/live-pg-none-$round.json"
    "$BIN/bench_load" --port "$BENCH_PG_PORT,$BENCH_PG_PORT_2" --operators 16 --seconds "$LOAD_SECONDS" \
        --watchers 16 >"$WORK/live-pg-$round.json"
    cat "$WORK"/live-*-"$round".json >&2
done

echo "== 5: memory of 100,000 assigned services" >&2
"$BIN/bench_memory" --port "$BENCH_SQLITE_PORT" --dir "$WORK/memory" >"$WORK/memory.json"
cat "$WORK/memory.json" >&2

echo "== 6: the Qt shell's rebuild of both views against the headless one (offscreen), $ROUNDS rounds" >&2
QT_QPA_PLATFORM=offscreen "$BIN/bench_gui" --benchmark_repetitions="$ROUNDS" --benchmark_out="$WORK/gui.json" --benchmark_out_format=json >&2

machine "$WORK/machine-end.json"
echo >&2
python3 "$ROOT/bench/report.py" "$WORK"
