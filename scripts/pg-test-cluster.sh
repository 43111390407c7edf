#!/usr/bin/env bash
# A throw-away PostgreSQL 15 cluster on loopback for the server's tests.
#
#   scripts/pg-test-cluster.sh start     starts it; prints a postgresql:// URL
#                                        (use it as SERVCLIENTE_PG_URL)
#   scripts/pg-test-cluster.sh restart   stops and starts it on the same port
#   scripts/pg-test-cluster.sh stop      stops it and removes its files
#   scripts/pg-test-cluster.sh url       prints the URL of the running cluster
#
# The cluster lives in SERVCLIENTE_PG_DIR (default /tmp/servcliente-pg). It
# trusts every local connection and runs without fsync: it is for tests only.
# Prepared transactions are on: a test holds a lock across a restart with one.
# As root, the server runs as the user "postgres", since PostgreSQL refuses
# to run as root.
set -euo pipefail

BIN=${SERVCLIENTE_PG_BIN:-/usr/lib/postgresql/15/bin}
DIR=${SERVCLIENTE_PG_DIR:-/tmp/servcliente-pg}
DB=servcliente_test

as_owner() {
    if [ "$(id -u)" -eq 0 ]; then
        runuser -u postgres -- "$@"
    else
        "$@"
    fi
}

free_port() {
    local port
    for port in $(seq 54320 54420); do
        if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
            echo "$port"
            return 0
        fi
    done
    echo "pg-test-cluster: no free port between 54320 and 54420" >&2
    return 1
}

url() {
    echo "postgresql://postgres@127.0.0.1:$(cat "$DIR/port")/$DB"
}

start_server() {
    as_owner "$BIN/pg_ctl" -D "$DIR/data" -l "$DIR/server.log" -w -t 30 \
        -o "-p $(cat "$DIR/port") -k $DIR -c listen_addresses=127.0.0.1 -c fsync=off -c max_connections=200 -c max_prepared_transactions=10" \
        start >/dev/null || { cat "$DIR/server.log" >&2; return 1; }
}

case "${1:-}" in
start)
    if [ ! -x "$BIN/initdb" ]; then
        echo "pg-test-cluster: PostgreSQL 15 is not installed ($BIN/initdb missing; apt-get install postgresql-15)" >&2
        exit 1
    fi
    if [ -f "$DIR/port" ] && as_owner "$BIN/pg_ctl" -D "$DIR/data" status >/dev/null 2>&1; then
        url
        exit 0
    fi
    rm -rf "$DIR"
    mkdir -p "$DIR"
    if [ "$(id -u)" -eq 0 ]; then
        chown postgres: "$DIR"
    fi
    as_owner "$BIN/initdb" -D "$DIR/data" -U postgres -A trust -E UTF8 --no-locale --no-sync >"$DIR/initdb.log" 2>&1 ||
        { cat "$DIR/initdb.log" >&2; exit 1; }
    free_port >"$DIR/port.tmp"
    mv "$DIR/port.tmp" "$DIR/port"
    start_server
    as_owner "$BIN/createdb" -h 127.0.0.1 -p "$(cat "$DIR/port")" -U postgres "$DB"
    url
    ;;
restart)
    as_owner "$BIN/pg_ctl" -D "$DIR/data" -m fast -w stop >/dev/null
    start_server
    url
    ;;
stop)
    if [ -d "$DIR/data" ]; then
        as_owner "$BIN/pg_ctl" -D "$DIR/data" -m fast -w stop >/dev/null 2>&1 || true
    fi
    rm -rf "$DIR"
    ;;
url)
    url
    ;;
*)
    echo "usage: $0 start|restart|stop|url" >&2
    exit 2
    ;;
esac
