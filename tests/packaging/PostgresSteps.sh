#!/usr/bin/env bash
# The PostgreSQL steps of README.md, "Operating the server", against the
# throw-away cluster the tests start (SERVCLIENTE_PG_URL, a superuser's URL):
# the setup script makes the role and the database, the server seeds and
# serves them as that role (not a superuser), and the documented pg_dump line
# leaves a dump only its owner may read, which pg_restore can read back.
# Exits 77 (skipped) without a cluster.
#
#   PostgresSteps.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
SOURCE=$1
BUILD=$2
if [ -z "${SERVCLIENTE_PG_URL:-}" ]; then
  echo "postgresql steps: SERVCLIENTE_PG_URL is not set (scripts/pg-test-cluster.sh start)"
  exit 77
fi
APP="$BUILD/bin/appserver"
TMP=$(mktemp -d /tmp/servcliente-pgsteps-XXXXXX)
SUPER=${SERVCLIENTE_PG_URL%/*}
SERVER=""
cleanup() {
  if [ -n "$SERVER" ]; then
    kill "$SERVER" 2>/dev/null || true
    wait "$SERVER" 2>/dev/null || true
  fi
  psql -q "$SUPER/postgres" -c "DROP DATABASE IF EXISTS servcliente" -c "DROP ROLE IF EXISTS servcliente" \
    >/dev/null 2>&1 || true
  rm -rf "$TMP"
}
trap cleanup EXIT
fail() {
  echo "postgresql steps: $*" >&2
  exit 1
}
psql -q "$SUPER/postgres" -c "DROP DATABASE IF EXISTS servcliente" -c "DROP ROLE IF EXISTS servcliente" >/dev/null

# The role and the database, as the README runs the script.
psql -q "$SUPER/postgres" -v ON_ERROR_STOP=1 -v password="'pass w0rd'" -f "$SOURCE/packaging/postgresql-setup.sql" \
  >"$TMP/setup.log" 2>&1 || fail "the setup script failed: $(cat "$TMP/setup.log")"
[ "$(psql -Atq "$SUPER/postgres" -c "SELECT rolsuper OR rolcreatedb OR rolcreaterole FROM pg_roles
  WHERE rolname = 'servcliente'")" = f ] || fail "the role has more rights than it needs"

# The server as that role: the URL of appserver.env, its password encoded.
URL="postgresql://servcliente:pass%20w0rd@${SUPER#*@}/servcliente"
"$APP" seed --db "$URL" --local-db "$TMP/local.db" 2>"$TMP/seed.log" || fail "seed as the role failed: $(cat "$TMP/seed.log")"
SERVCLIENTE_DB="$URL" "$APP" --listen 127.0.0.1:0 >"$TMP/server.out" 2>"$TMP/server.log" &
SERVER=$!
for _ in $(seq 1 100); do
  grep -q '^listening on ' "$TMP/server.out" && break
  sleep 0.1
done
PORT=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$TMP/server.out")
[ -n "$PORT" ] || fail "the server did not start as the role: $(cat "$TMP/server.log")"
"$APP" check --connect "127.0.0.1:$PORT" >"$TMP/check.out" 2>&1 || fail "the check failed: $(cat "$TMP/check.out")"

# The backup line of the README (there run by root, as the database's
# administrator): the dump is private to whoever runs it.
DUMP="$TMP/backups/servcliente.dump"
install -d -m 0700 "$TMP/backups"
sh -c "umask 077; pg_dump -Fc -d '$SUPER/servcliente' >'$DUMP'" || fail "pg_dump failed"
[ "$(stat -c %a "$DUMP")" = 600 ] || fail "the dump has mode $(stat -c %a "$DUMP"), not 600"
pg_restore --list "$DUMP" | grep -q "TABLE public filial servcliente" || fail "the dump holds no table FILIAL"
echo "postgresql steps: role, database, server, check and backup as the README has them"
