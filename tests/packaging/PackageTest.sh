#!/usr/bin/env bash
# Builds the Debian packages from a build tree (cpack), checks them with
# lintian, unpacks them into a temporary root (dpkg -x), and runs the programs
# from there as the systemd unit would: the service's own user (made from the
# package's sysusers.d file), its umask, its configuration sample with TLS and
# credentials switched on, a world-readable certificate and, when the test runs
# as root, a key and credentials owned by root and readable by the service's
# group. Then the health checks (as an operator, and the liveness probe), the
# workstations' local database exported into a read-only folder, the installed
# desktop program headless against the server, and a clean stop on SIGTERM.
#
#   PackageTest.sh BUILD_DIR VERSION
set -euo pipefail
BUILD=$1
VERSION=$2
TMP=$(mktemp -d /tmp/servcliente-packaging-XXXXXX)
chmod 755 "$TMP"
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
DEBS=()
for part in common server shell; do
  deb=$(ls "$TMP"/out/servcliente-"$part"_"$VERSION"_*.deb 2>/dev/null) || fail "no servcliente-$part package"
  DEBS+=("$deb")
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
  for doc in copyright changelog.gz README.md; do
    [ -f "$ROOT/usr/share/doc/servcliente-$part/$doc" ] || fail "servcliente-$part has no /usr/share/doc/servcliente-$part/$doc"
  done
done
for lib in libsystemd0 libprometheus-cpp-pull; do
  [[ $(dpkg-deb -f "$TMP"/out/servcliente-server_*.deb Depends) == *$lib* ]] || fail "the server needs no $lib"
done
grep -qx /etc/servcliente/appserver.conf "$TMP/control-server/conffiles" || fail "the configuration is no conffile"
for script in postinst prerm postrm; do
  sh -n "$TMP/control-server/$script" || fail "the server's $script is no shell script"
done

# Debian's own checker: no errors. Its warnings are printed for the log.
command -v lintian >/dev/null || fail "lintian is not installed (scripts/install-deps.sh installs it)"
lintian --allow-root --no-tag-display-limit "${DEBS[@]}" >"$TMP/lintian.out" 2>&1 || true
grep -E '^[WI]: ' "$TMP/lintian.out" | sed 's/^/packaging: lintian: /' || true
if grep -qE '^E: ' "$TMP/lintian.out"; then
  fail "lintian reports errors: $(grep -E '^E: ' "$TMP/lintian.out")"
fi

# As root, the packages are installed for real, reinstalled at the same
# version, removed and purged, in a mount namespace of the test's own whose /etc, /usr
# and /var are overlays: the maintainer scripts run, the machine keeps none of
# it; systemd checks the installed unit. Skipped where overlays cannot be
# mounted.
if [ "$(id -u)" -eq 0 ] && command -v unshare >/dev/null; then
  cat >"$TMP/install.sh" <<'SH'
set -eu
for d in etc usr var; do
  mkdir -p "$OVERLAYS/$d/up" "$OVERLAYS/$d/work"
  mount -t overlay overlay -o "lowerdir=/$d,upperdir=$OVERLAYS/$d/up,workdir=$OVERLAYS/$d/work" "/$d" 2>/dev/null || exit 77
done
dpkg --force-depends -i "$@" || exit 1
getent passwd servcliente >/dev/null || { echo "no user servcliente"; exit 1; }
[ "$(stat -c '%U:%G %a' /etc/servcliente/tls)" = "root:servcliente 750" ] || { echo "/etc/servcliente/tls is $(stat -c '%U:%G %a' /etc/servcliente/tls)"; exit 1; }
if command -v systemd-analyze >/dev/null; then
  systemd-analyze verify /usr/lib/systemd/system/servcliente.service || { echo "the unit does not verify"; exit 1; }
fi
dpkg --force-depends -i "$@" || { echo "the same version does not install again"; exit 1; }
# Remove keeps the configuration, a key the administrator put in the TLS
# folder, and the user; purge keeps the key (and so its folder) and the user.
install -m 0640 -g servcliente /dev/null /etc/servcliente/tls/server.key
dpkg --remove servcliente-server || exit 1
[ -f /etc/servcliente/appserver.conf ] && [ -f /etc/servcliente/tls/server.key ] && getent passwd servcliente >/dev/null ||
  { echo "remove did not keep the configuration, the key and the user"; exit 1; }
dpkg --purge servcliente-server || exit 1
[ ! -e /etc/servcliente/appserver.conf ] && [ -f /etc/servcliente/tls/server.key ] && getent passwd servcliente >/dev/null ||
  { echo "purge did not remove the configuration or did not keep the key and the user"; exit 1; }
# Without the administrator's files, a purge leaves nothing in /etc.
rm /etc/servcliente/tls/server.key
dpkg --force-depends -i "$2" || exit 1
dpkg --purge servcliente-server servcliente-shell servcliente-common || exit 1
[ ! -e /etc/servcliente ] || { echo "purge left $(find /etc/servcliente)"; exit 1; }
SH
  status=0
  OVERLAYS="$TMP/overlays" DEBIAN_FRONTEND=noninteractive unshare -m sh "$TMP/install.sh" "${DEBS[@]}" \
    >"$TMP/install.log" 2>&1 || status=$?
  case $status in
    0) ;;
    77) echo "packaging: no overlay mounts here: the packages were not installed for real" >&2 ;;
    *) fail "installing, reinstalling or purging the packages failed: $(tail -n 20 "$TMP/install.log")" ;;
  esac
fi

# The library folder is lib/servcliente, or lib/ARCH/servcliente when the
# tree was configured for the /usr prefix.
LIB=$(find "$ROOT/usr/lib" -name libplatform_core.so -printf '%h\n' | sed "s|^$ROOT/||")
[ -n "$LIB" ] || fail "no libplatform_core.so in the packages"
UNIT="$ROOT/usr/lib/systemd/system/servcliente.service"
for file in usr/bin/appserver usr/bin/servcliente usr/lib/systemd/system/servcliente.service \
  etc/servcliente/appserver.conf usr/lib/sysusers.d/servcliente.conf usr/share/applications/servcliente.desktop \
  usr/share/icons/hicolor/scalable/apps/servcliente.svg usr/share/man/man8/appserver.8.gz \
  usr/share/man/man1/servcliente.1.gz "$LIB/PKG_ZEL31500.so" "$LIB/libhost.so"; do
  [ -e "$ROOT/$file" ] || fail "/$file is not in the packages"
done
# Each language of cmake/Languages.txt: a translated one's module is installed
# beside the package, a pseudo-language's never.
LANGUAGES="$(dirname "$0")/../../cmake/Languages.txt"
[ -r "$LANGUAGES" ] || fail "no $LANGUAGES"
while read -r code kind; do
  case "$code" in '' | '#'*) continue ;; esac
  module="$ROOT/$LIB/PKG_ZEL31500.so.$code"
  case "$kind" in
    translated) [ -e "$module" ] || fail "the $code language module is not in the packages" ;;
    pseudo) [ ! -e "$module" ] || fail "the pseudo-language module $code is in the packages" ;;
    *) fail "cmake/Languages.txt: $code is neither translated nor pseudo" ;;
  esac
done <"$LANGUAGES"
[ ! -e "$ROOT/usr/bin/shell" ] || fail "the desktop program is installed as /usr/bin/shell"
grep -qx "Exec=servcliente" "$ROOT/usr/share/applications/servcliente.desktop" || fail "the desktop entry does not start servcliente"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$ROOT/usr/share/applications/servcliente.desktop" || fail "the desktop entry is not valid"
fi
grep -qx "ExecStart=/usr/bin/appserver --config /etc/servcliente/appserver.conf" "$UNIT" ||
  fail "the unit does not start /usr/bin/appserver"
! grep -q '^DynamicUser=' "$UNIT" || fail "the unit runs as a dynamic user"
USER_NAME=$(sed -n 's/^User=//p' "$UNIT")
[ "$USER_NAME" = servcliente ] || fail "the unit runs as '$USER_NAME', not servcliente"
grep -q "^u servcliente " "$ROOT/usr/lib/sysusers.d/servcliente.conf" || fail "sysusers.d makes no user servcliente"

APP="$ROOT/usr/bin/appserver"
SHELL_BIN="$ROOT/usr/bin/servcliente"
# The installed programs take the installed libraries, not the build tree's.
# ldd's whole answer first: grep -q stops reading early, and under pipefail a
# writer cut off that way would fail the test by chance.
LINKS=$(ldd "$APP")
grep -q "libplatform_core.so => $ROOT/" <<<"$LINKS" ||
  fail "appserver does not load its installed libraries: $(grep platform <<<"$LINKS")"
# The version, and the commit of the build when it came from a checkout.
for program in "$APP" "$SHELL_BIN"; do
  case "$("$program" --version)" in
    "$VERSION" | "$VERSION (commit "*")") ;;
    *) fail "$(basename "$program") --version is not $VERSION: $("$program" --version)" ;;
  esac
done
# The changelog's newest entry is this version's.
NEWEST=$(zcat "$ROOT/usr/share/doc/servcliente-server/changelog.gz" | sed -n 1p)
[[ "$NEWEST" == "servcliente ($VERSION) "* ]] || fail "the changelog's newest entry is not $VERSION: $NEWEST"
# Each entry is a release newer than the one below it.
NEWER=""
while read -r release; do
  [ -z "$NEWER" ] || dpkg --compare-versions "$NEWER" gt "$release" ||
    fail "the changelog's entry $NEWER is above $release but not newer"
  NEWER=$release
done < <(zcat "$ROOT/usr/share/doc/servcliente-server/changelog.gz" | sed -n 's/^servcliente (\([^)]*\)) .*/\1/p')
[ -n "$NEWER" ] || fail "the changelog has no entries"

# The service's user and group, as the package's sysusers.d file makes them
# (in a root of the test's own: the machine's users are left alone). Without
# root the test runs the server as itself, with files of its own.
AS=()
if [ "$(id -u)" -eq 0 ]; then
  if command -v systemd-sysusers >/dev/null; then
    mkdir -p "$TMP/users/etc"
    systemd-sysusers --root="$TMP/users" "$ROOT/usr/lib/sysusers.d/servcliente.conf" ||
      fail "systemd-sysusers cannot make the service's user"
    SVC_UID=$(awk -F: '$1 == "servcliente" { print $3 }' "$TMP/users/etc/passwd")
    SVC_GID=$(awk -F: '$1 == "servcliente" { print $3 }' "$TMP/users/etc/group")
    [ -n "$SVC_UID" ] && [ -n "$SVC_GID" ] || fail "sysusers.d made no user and group servcliente"
  else
    # No systemd here (a container): a system id no one holds stands for it.
    SVC_UID=$(for id in $(seq 999 -1 900); do getent passwd "$id" >/dev/null || { echo "$id"; break; }; done)
    SVC_GID=$SVC_UID
  fi
  AS=(setpriv --reuid="$SVC_UID" --regid="$SVC_GID" --clear-groups --no-new-privs)
else
  echo "packaging: not root: the server runs as $(id -un), its private files its own" >&2
  SVC_UID=$(id -u)
  SVC_GID=$(id -g)
fi

# The configuration as README's Access section has it: the packaged sample
# with its TLS and credentials lines uncommented, the files in etc/tls.
ETC="$TMP/etc/servcliente"
mkdir -p "$ETC/tls"
sed -e 's/^# *\(tls-cert\|tls-key\|credentials\|metrics-listen\) = /\1 = /' -e "s|/etc/servcliente|$ETC|g" \
  "$ROOT/etc/servcliente/appserver.conf" >"$ETC/appserver.conf"
for key in "tls-cert = \"$ETC/tls/server.pem\"" "tls-key = \"$ETC/tls/server.key\"" "credentials = \"$ETC/operators\"" \
  'metrics-listen = "127.0.0.1:9469"'; do
  grep -qx "$key" "$ETC/appserver.conf" || fail "the configuration sample has no commented line for '$key'"
done
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 -subj /CN=127.0.0.1 \
  -addext subjectAltName=IP:127.0.0.1 -keyout "$ETC/tls/server.key" -out "$ETC/tls/server.pem" 2>"$TMP/openssl.log" ||
  fail "openssl failed: $(cat "$TMP/openssl.log")"
echo "s3gredo-da-maria" | "$APP" passwd --operator maria --branches '*' >"$ETC/operators"
printf 's3gredo-da-maria\n' >"$TMP/maria.secret"
chmod 600 "$TMP/maria.secret"
chmod 644 "$ETC/tls/server.pem"
chmod 640 "$ETC/tls/server.key" "$ETC/operators"
chown "0:$SVC_GID" "$ETC/tls/server.key" "$ETC/operators" 2>/dev/null || chmod 600 "$ETC/tls/server.key" "$ETC/operators"
chmod 750 "$ETC/tls"
chown "0:$SVC_GID" "$ETC/tls" 2>/dev/null || true
FINGERPRINT=$(openssl x509 -in "$ETC/tls/server.pem" -noout -fingerprint -sha256 | sed 's/^.*=//')

# The state directory as systemd makes it (StateDirectory=, mode 0750), the
# database seeded into it.
STATE="$TMP/state"
install -d -m 0750 "$STATE"
chown "$SVC_UID:$SVC_GID" "$STATE" 2>/dev/null || true
(umask 077 && "${AS[@]}" "$APP" seed --db "$STATE/servcliente.db" --local-db "$STATE/seeded-local.db") \
  2>"$TMP/seed.log" || fail "seed failed: $(cat "$TMP/seed.log")"

# A database of the first schema (no audit table, no version kept), with
# data, migrated by the installed program as the service's user: its rows
# kept, the audit table there, the version the program's.
FIRST="$STATE/first.db"
sqlite3 "$FIRST" "CREATE TABLE FILIAL (CDFILIAL varchar(4) NOT NULL PRIMARY KEY, NMFILIAL varchar(30));
  CREATE TABLE CLIENTE (CDFILIAL varchar(4) NOT NULL, CDCLIENTE varchar(21) NOT NULL, IDTPIJURCLIE char(1),
    NRINSJURCLIE varchar(20), NMRAZSOCCLIE varchar(50), PRIMARY KEY (CDFILIAL, CDCLIENTE));
  CREATE TABLE SERVFILI (CDFILIAL varchar(4) NOT NULL, CDSERVFILI char(5) NOT NULL, NMSERVICO varchar(40),
    PRIMARY KEY (CDFILIAL, CDSERVFILI));
  CREATE TABLE SERVCLIE (CDFILIAL varchar(4) NOT NULL, CDCLIENTE varchar(21) NOT NULL, CDSERVFILI char(5) NOT NULL,
    PRIMARY KEY (CDFILIAL, CDCLIENTE, CDSERVFILI));
  INSERT INTO FILIAL VALUES ('0001', 'Matriz');
  INSERT INTO CLIENTE VALUES ('0001', 'C0001', 'F', '52998224725', 'Ana');
  INSERT INTO SERVFILI VALUES ('0001', '00001', 'Consultoria');
  INSERT INTO SERVCLIE (CDFILIAL, CDCLIENTE, CDSERVFILI) VALUES ('0001', 'C0001', '00001');" || fail "could not make a first-schema database"
chmod 600 "$FIRST"
chown "$SVC_UID:$SVC_GID" "$FIRST" 2>/dev/null || true
"${AS[@]}" "$APP" migrate --db "$FIRST" --status >"$TMP/migrate.out" 2>&1 || true
grep -q "schema version 1 found" "$TMP/migrate.out" || fail "migrate --status did not report version 1: $(cat "$TMP/migrate.out")"
"${AS[@]}" "$APP" migrate --db "$FIRST" >"$TMP/migrate.out" 2>&1 || fail "migrate failed: $(cat "$TMP/migrate.out")"
[ "$(sqlite3 "$FIRST" 'SELECT COUNT(*) FROM SERVCLIE')" = 1 ] || fail "the migration lost the assignments"
[ "$(sqlite3 "$FIRST" 'PRAGMA user_version')" = "$(sqlite3 "$STATE/servcliente.db" 'PRAGMA user_version')" ] ||
  fail "the migrated database is not at the program's version"
sqlite3 "$FIRST" 'SELECT NMENDERECO FROM AUDITORIA' >/dev/null || fail "the migration made no audit table"

# The unit's ExecStart, its environment and umask, as its user; the port is
# a free one.
EXEC=$(sed -n 's/^ExecStart=//p' "$UNIT" | sed -e "s|^/usr/bin/appserver|$APP|" -e "s|/etc/servcliente|$ETC|")
(
  umask "$(sed -n 's/^UMask=//p' "$UNIT")"
  # shellcheck disable=SC2086
  exec env SERVCLIENTE_DB="$STATE/servcliente.db" "${AS[@]}" $EXEC --listen 127.0.0.1:0 --metrics-listen 0
) >"$TMP/server.out" 2>"$TMP/server.log" &
SERVER=$!
for _ in $(seq 1 300); do
  grep -q '^listening on ' "$TMP/server.out" && break
  kill -0 "$SERVER" 2>/dev/null || break
  sleep 0.1
done
PORT=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$TMP/server.out")
[ -n "$PORT" ] || fail "the installed server did not listen: $(cat "$TMP/server.log")"
grep -q "TLS: on, certificate .* (SHA-256 fingerprint $FINGERPRINT)" "$TMP/server.log" ||
  fail "the server did not log its certificate's fingerprint $FINGERPRINT: $(cat "$TMP/server.log")"
[ "$(stat -c %u "/proc/$SERVER")" = "$SVC_UID" ] || fail "the server does not run as the service's user"

ADDRESS="127.0.0.1:$PORT"
"$APP" check --connect "$ADDRESS" --tls-fingerprint "$FINGERPRINT" --operator maria --secret-file "$TMP/maria.secret" \
  >"$TMP/check.out" 2>&1 || fail "the operator's health check failed: $(cat "$TMP/check.out")"
grep -q "^ok: $ADDRESS: " "$TMP/check.out" || fail "the health check said: $(cat "$TMP/check.out")"
"$APP" check --connect "$ADDRESS" --tls-fingerprint "$FINGERPRINT" --liveness >"$TMP/live.out" 2>&1 ||
  fail "the liveness probe failed: $(cat "$TMP/live.out")"
grep -q "alive and its database answers" "$TMP/live.out" || fail "the liveness probe said: $(cat "$TMP/live.out")"
# The metrics, on loopback's port given alone: the operator's check counted.
METRICS=$(sed -n 's|^metrics on \(http://127\.0\.0\.1:[0-9]*/metrics\)$|\1|p' "$TMP/server.out")
[ -n "$METRICS" ] || fail "the server serves no metrics: $(cat "$TMP/server.out")"
curl -sf "$METRICS" >"$TMP/metrics.out" || fail "nothing answered at $METRICS"
grep -qx 'servcliente_handshakes_total{outcome="accepted"} 1' "$TMP/metrics.out" ||
  fail "the metrics do not count the check's handshake: $(grep handshakes "$TMP/metrics.out")"

# The workstations' local database, exported into a folder they may not
# write; the desktop program reads it, and the seeded one (WAL mode), as a
# user who may write neither.
SHARED="$TMP/shared"
mkdir -p "$SHARED"
"$APP" export-branches --db "$STATE/servcliente.db" --local-db "$SHARED/local.db" 2>"$TMP/export.log" ||
  fail "export-branches failed: $(cat "$TMP/export.log")"
cp "$STATE/seeded-local.db" "$SHARED/seeded.db"
chmod 644 "$SHARED/seeded.db"
chmod 555 "$SHARED"
for local in local seeded; do
  cat >"$TMP/session-$local.ini" <<INI
[session]
FiliProc = 0001
FiliProcFat = 0001
NomeFiliProcFat = Matriz
ModuFili = 0
ModuloAtiv = 15
WebURL = 127.0.0.1
WebPort = $PORT
LocalDatabase = $SHARED/$local.db
Operator = maria
Secret = s3gredo-da-maria
TlsFingerprint = $FINGERPRINT
INI
  chmod 600 "$TMP/session-$local.ini"
  chown "$SVC_UID" "$TMP/session-$local.ini" 2>/dev/null || true
  printf 'open\ntype 0002\ntab\nclick btnCliente\npick 0\ndump\n' | timeout 60 "${AS[@]}" "$SHELL_BIN" --headless \
    --session "$TMP/session-$local.ini" >"$TMP/shell.out" 2>"$TMP/shell.err" ||
    fail "the installed desktop program failed: $(cat "$TMP/shell.err")"
  [ ! -s "$TMP/shell.err" ] || fail "the desktop program warned: $(cat "$TMP/shell.err")"
  DUMP=$(tail -n 1 "$TMP/shell.out")
  # The branch's name from the local database; the first client by name of
  # branch 0002, picked from the list the server sent.
  [[ $DUMP == *'"package":true'* ]] || fail "the desktop program did not load the installed package: $DUMP"
  [[ $DUMP == *'"edtNmFilial":{'*'"text":"Filial Campinas"'* ]] || fail "$local.db: the branch's name is not shown: $DUMP"
  CLIENT=$(grep -o '"edtCliente":{[^}]*}' <<<"$DUMP" || true)
  [[ $CLIENT == *'"text":"'?* && $CLIENT != *'"text":""'* ]] || fail "$local.db: no client was picked: $DUMP"
done
chmod 644 "$TMP/session-local.ini"
printf 'dump\n' | "$SHELL_BIN" --headless --session "$TMP/session-local.ini" >/dev/null 2>"$TMP/shell.err" || true
grep -q "holds a Secret and others may read it" "$TMP/shell.err" ||
  fail "the desktop program did not warn of a readable Secret: $(cat "$TMP/shell.err")"

# README's SQLite backup line, as the service's user while it serves: a copy
# only its owner may read.
install -d -m 0700 "$TMP/backups"
chown "$SVC_UID:$SVC_GID" "$TMP/backups" 2>/dev/null || true
"${AS[@]}" "$APP" backup --db "$STATE/servcliente.db" --to "$TMP/backups/servcliente.db" >/dev/null ||
  fail "the SQLite backup line failed"
[ "$(stat -c %a "$TMP/backups/servcliente.db")" = 600 ] || fail "the SQLite backup is not private"
[ "$(sqlite3 "$TMP/backups/servcliente.db" 'SELECT COUNT(*) FROM FILIAL')" = 5 ] || fail "the backup holds no branches"
# On PostgreSQL it copies nothing, says how to dump it, and exits 2.
status=0
"$APP" backup --db postgresql://servcliente@127.0.0.1/servcliente --to "$TMP/backups/pg.dump" 2>"$TMP/pg-backup.err" ||
  status=$?
[ "$status" -eq 2 ] && grep -q "runuser -u postgres -- pg_dump -Fc" "$TMP/pg-backup.err" ||
  fail "backup on PostgreSQL exited $status, not 2 with the dump line: $(cat "$TMP/pg-backup.err")"

# A misspelt key of the configuration is named with its file and line.
printf 'listen = "127.0.0.1:0"\nlisen = "x"\n' >"$TMP/typo.conf"
status=0
"$APP" --config "$TMP/typo.conf" 2>"$TMP/typo.err" || status=$?
[ "$status" -eq 2 ] && grep -q "typo.conf:2: 'lisen' is no option" "$TMP/typo.err" ||
  fail "a misspelt key was not named with its file and line ($status): $(cat "$TMP/typo.err")"

kill -TERM "$SERVER"
status=0
wait "$SERVER" || status=$?
SERVER=""
[ "$status" -eq 0 ] || fail "the server ended with $status on SIGTERM: $(tail -n 3 "$TMP/server.log")"
grep -q "stopped" "$TMP/server.log" || fail "the server did not log its stop"
# README's SQLite restore, the server stopped: the copy in the database's
# place, the service's user's, without the replaced database's journal.
BACKED=$(sqlite3 "$TMP/backups/servcliente.db" 'SELECT COUNT(*) FROM SERVCLIE')
sqlite3 "$STATE/servcliente.db" 'DELETE FROM SERVCLIE'
rm -f "$STATE/servcliente.db-wal" "$STATE/servcliente.db-shm"
install -o "$SVC_UID" -g "$SVC_GID" -m 0600 "$TMP/backups/servcliente.db" "$STATE/servcliente.db"
"${AS[@]}" "$APP" migrate --db "$STATE/servcliente.db" --status >"$TMP/restored.out" 2>&1 ||
  fail "the restored database: $(cat "$TMP/restored.out")"
[ "$BACKED" -gt 0 ] && [ "$(sqlite3 "$STATE/servcliente.db" 'SELECT COUNT(*) FROM SERVCLIE')" = "$BACKED" ] ||
  fail "the restore did not bring back the $BACKED assignments"
if "$APP" check --connect "$ADDRESS" --liveness --timeout 2 2>"$TMP/check.err"; then
  fail "the health check passed with the server stopped"
fi
grep -q "^appserver check: $ADDRESS: " "$TMP/check.err" || fail "the failed check said: $(cat "$TMP/check.err")"
echo "packaging: servcliente-common, -server and -shell $VERSION install and run"
