#!/usr/bin/env bash
# Builds the Debian packages from a build tree (cpack), unpacks them into a
# temporary root without root rights (dpkg -x), and runs the programs from
# there: their versions, the configuration sample, seeding, serving on a free
# loopback port, the health check, the shell headless against the server, and
# a clean stop on SIGTERM.
#
#   PackageTest.sh BUILD_DIR VERSION
set -euo pipefail
BUILD=$1
VERSION=$2
TMP=$(mktemp -d /tmp/servcliente-packaging-XXXXXX)
SERVER=""
cleanup() {
  if [ -n "$SERVER" ]; then
    kill "$SERVER" 2>/dev/null || true
    wait "$SERVER" 2>/dev/null || true
  fi
  rm -rf "$TMP"
}
trap cleanup EXIT
fail() {
  echo "packaging: $*" >&2
  exit 1
}

# The packages, each at the project's version, with their dependencies.
if ! cpack --config "$BUILD/CPackConfig.cmake" -B "$TMP/out" >"$TMP/cpack.log" 2>&1; then
  cat "$TMP/cpack.log" >&2
  fail "cpack failed"
fi
ROOT="$TMP/root"
for part in common server shell; do
  deb=$(ls "$TMP"/out/servcliente-"$part"_"$VERSION"_*.deb 2>/dev/null) || fail "no servcliente-$part package"
  [ "$(dpkg-deb -f "$deb" Version)" = "$VERSION" ] || fail "servcliente-$part has not version $VERSION"
  depends=$(dpkg-deb -f "$deb" Depends)
  case $part in
    common) [[ $depends == *libc6* ]] || fail "servcliente-common declares no libc6: '$depends'" ;;
    server | shell)
      [[ $depends == *"servcliente-common (= $VERSION)"* ]] || fail "servcliente-$part needs no servcliente-common: '$depends'"
      [[ $depends == *libstdc++6* ]] || fail "servcliente-$part declares no libstdc++6: '$depends'" ;;
  esac
  dpkg -x "$deb" "$ROOT"
  dpkg-deb -e "$deb" "$TMP/control-$part"
done
[[ $(dpkg-deb -f "$TMP"/out/servcliente-server_*.deb Depends) == *libsystemd0* ]] || fail "the server needs no libsystemd0"
grep -qx /etc/servcliente/appserver.conf "$TMP/control-server/conffiles" || fail "the configuration is no conffile"
# The library folder is lib/servcliente, or lib/ARCH/servcliente when the
# tree was configured for the /usr prefix.
LIB=$(find "$ROOT/usr/lib" -name libplatform_core.so -printf '%h\n' | sed "s|^$ROOT/||")
[ -n "$LIB" ] || fail "no libplatform_core.so in the packages"
for file in usr/bin/appserver usr/bin/shell usr/lib/systemd/system/servcliente.service etc/servcliente/appserver.conf \
  "$LIB/PKG_ZEL31500.so" "$LIB/PKG_ZEL31500.so.en" "$LIB/libhost.so" usr/share/doc/servcliente-server/README.md; do
  [ -e "$ROOT/$file" ] || fail "/$file is not in the packages"
done
grep -qx "ExecStart=/usr/bin/appserver --config /etc/servcliente/appserver.conf" \
  "$ROOT/usr/lib/systemd/system/servcliente.service" || fail "the unit does not start /usr/bin/appserver"

APP="$ROOT/usr/bin/appserver"
SHELL_BIN="$ROOT/usr/bin/shell"
# The installed programs take the installed libraries, not the build tree's.
# ldd's whole answer first: grep -q stops reading early, and under pipefail a
# writer cut off that way would fail the test by chance.
LINKS=$(ldd "$APP")
grep -q "libplatform_core.so => $ROOT/" <<<"$LINKS" ||
    fail "appserver does not load its installed libraries: $(grep platform <<<"$LINKS")"
[ "$("$APP" --version)" = "$VERSION" ] || fail "appserver --version is not $VERSION"
[ "$("$SHELL_BIN" --version)" = "$VERSION" ] || fail "shell --version is not $VERSION"

"$APP" seed --db "$TMP/server.db" --local-db "$TMP/local.db" 2>"$TMP/seed.log" || fail "seed failed: $(cat "$TMP/seed.log")"

# The installed configuration sample, the database from the environment.
SERVCLIENTE_DB="$TMP/server.db" "$APP" --config "$ROOT/etc/servcliente/appserver.conf" --listen 127.0.0.1:0 \
  >"$TMP/server.out" 2>"$TMP/server.log" &
SERVER=$!
for _ in $(seq 1 300); do
  grep -q '^listening on ' "$TMP/server.out" && break
  kill -0 "$SERVER" 2>/dev/null || break
  sleep 0.1
done
PORT=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$TMP/server.out")
[ -n "$PORT" ] || fail "the installed server did not listen: $(cat "$TMP/server.log")"

"$APP" check --connect "127.0.0.1:$PORT" >"$TMP/check.out" || fail "the health check failed"
grep -q "^ok: 127.0.0.1:$PORT: " "$TMP/check.out" || fail "the health check said: $(cat "$TMP/check.out")"

cat >"$TMP/session.ini" <<INI
[session]
FiliProc = 0001
FiliProcFat = 0001
NomeFiliProcFat = Matriz
ModuFili = 0
ModuloAtiv = 15
WebURL = 127.0.0.1
WebPort = $PORT
LocalDatabase = $TMP/local.db
INI
printf 'open\nclick btnCliente\npick 0\ndump\n' | timeout 60 "$SHELL_BIN" --headless --session "$TMP/session.ini" \
  >"$TMP/shell.out" 2>"$TMP/shell.err" || fail "the installed shell failed: $(cat "$TMP/shell.err")"
DUMP=$(tail -n 1 "$TMP/shell.out")
# The first client by name of the seeded branch 0001, picked from the list
# the server sent.
[[ $DUMP == *'"package":true'* ]] || fail "the shell did not load the installed package: $DUMP"
[[ $DUMP == *'"edtCliente":{'*'"text":"Agropecuária Estêvão ME"'* ]] || fail "the picked client is not shown: $DUMP"
[[ $DUMP == *'"medCliente":{'*'"text":"64362247000130"'* ]] || fail "the picked client's number is not shown: $DUMP"

kill -TERM "$SERVER"
status=0
wait "$SERVER" || status=$?
SERVER=""
[ "$status" -eq 0 ] || fail "the server ended with $status on SIGTERM: $(tail -n 3 "$TMP/server.log")"
grep -q "stopped" "$TMP/server.log" || fail "the server did not log its stop"
if "$APP" check --connect "127.0.0.1:$PORT" --timeout 2 2>"$TMP/check.err"; then
  fail "the health check passed with the server stopped"
fi
grep -q "^appserver check: 127.0.0.1:$PORT: " "$TMP/check.err" || fail "the failed check said: $(cat "$TMP/check.err")"
echo "packaging: servcliente-common, -server and -shell $VERSION install and run"
