#!/usr/bin/env bash
# The PostgreSQL steps of README.md, "Operating the server", against the
# throw-away cluster the tests start (SERVCLIENTE_PG_URL, a superuser's URL):
# the setup script makes the role and the database, the server seeds and
# serves them as that role (not a superuser), the documented pg_dump line
# leaves a dump only its owner may read, and the documented pg_restore line
# puts back every row of it, the tables still the role's.
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

# The backup and restore lines of the README, against the cluster's URL
# instead of the host's own database. As root they run as README has them:
# root writes the dump, private to it, and reads it into pg_restore run as
# postgres, who may not open it.
AS_POSTGRES=()
if [ "$(id -u)" -eq 0 ] && getent passwd postgres >/dev/null; then
  AS_POSTGRES=(runuser -u postgres --)
fi
DUMP="$TMP/backups/servcliente.dump"
install -d -m 0700 "$TMP/backups"
sh -c "umask 077; ${AS_POSTGRES[*]} pg_dump -Fc -d '$SUPER/servcliente' >'$DUMP'" || fail "pg_dump failed"
[ "$(stat -c %a "$DUMP")" = 600 ] || fail "the dump has mode $(stat -c %a "$DUMP"), not 600"
pg_restore --list "$DUMP" | grep -q "TABLE public filial servcliente" || fail "the dump holds no table FILIAL"
if [ ${#AS_POSTGRES[@]} -gt 0 ] && "${AS_POSTGRES[@]}" pg_restore --list "$DUMP" >/dev/null 2>&1; then
  fail "postgres reads root's private dump: the restore line proves nothing"
fi
ROWS="SELECT (SELECT COUNT(*) FROM servclie) || ' ' || (SELECT COUNT(*) FROM cliente)"
BEFORE=$(psql -Atq "$URL" -c "$ROWS")
kill "$SERVER"
wait "$SERVER" 2>/dev/null || true
SERVER=""
psql -q "$URL" -c "DELETE FROM servclie" -c "DELETE FROM cliente WHERE cdfilial = '0001'" >/dev/null
sh -c "${AS_POSTGRES[*]} pg_restore --clean --if-exists --single-transaction -d '$SUPER/servcliente' <'$DUMP'" \
  2>"$TMP/restore.log" || fail "the restore line failed: $(cat "$TMP/restore.log")"
[ "$(psql -Atq "$URL" -c "$ROWS")" = "$BEFORE" ] || fail "the restore did not bring back every row ($BEFORE)"
[ "$(psql -Atq "$SUPER/servcliente" -c "SELECT DISTINCT tableowner FROM pg_tables WHERE schemaname = 'public'")" = \
  servcliente ] || fail "the restored tables are not the role's"
"$APP" migrate --db "$URL" --status >"$TMP/migrate.out" 2>&1 || fail "the restored database: $(cat "$TMP/migrate.out")"
echo "postgresql steps: role, database, server, check, backup and restore as the README has them"
