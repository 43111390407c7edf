#!/usr/bin/env bash
# Upgrades installed packages of an earlier version to this tree's, as
# README's "Upgrade" says, with the server running on a database in use.
# The earlier packages come from these sources built as an earlier version
# (SERVCLIENTE_VERSION_OVERRIDE) in a tree beside the build tree, at the same
# depth, so that ccache answers its compilations. In a mount namespace of the
# test's own whose /etc, /usr and /var are overlays and whose /run is empty,
# a stand-in for systemd (deb-systemd-invoke, which the maintainer scripts
# call) runs the unit's ExecStart as its user. The earlier server is started
# on a seeded database, the desktop program headless stores rows through it,
# then the current packages are installed over the earlier ones: the
# packages are at the new version, the server was restarted by postinst on
# the new program, the database is at the new program's schema with every
# row kept, and the administrator's configuration is kept.
#
#   UpgradeTest.sh SOURCE_DIR BUILD_DIR VERSION
# Exits 77 (skipped) when not root or where overlays cannot be mounted.
set -euo pipefail
SOURCE=$1
BUILD=$(realpath "$2")
VERSION=$3
fail() {
  echo "packaging_upgrade: $*" >&2
  exit 1
}
if [ "$(id -u)" -ne 0 ] || ! command -v unshare >/dev/null; then
  echo "packaging_upgrade: packages are installed for real only as root" >&2
  exit 77
fi

# The release before this one: the patch number less one, else the minor.
IFS=. read -r major minor patch <<<"$VERSION"
if [ "$patch" -gt 0 ]; then
  EARLIER=$major.$minor.$((patch - 1))
elif [ "$minor" -gt 0 ]; then
  EARLIER=$major.$((minor - 1)).0
else
  EARLIER=$((major - 1)).0.0
fi
dpkg --compare-versions "$EARLIER" lt "$VERSION" || fail "$EARLIER is not earlier than $VERSION"

TMP=$(mktemp -d /tmp/servcliente-upgrade-XXXXXX)
chmod 755 "$TMP"
trap 'rm -rf "$TMP"' EXIT

# The earlier tree: the build tree's compiler, launcher and build type, only
# what the server's packages hold.
cache() { sed -n "s/^$1:[A-Z]*=//p" "$BUILD/CMakeCache.txt"; }
EARLIER_BUILD="$BUILD-earlier"
if ! { cmake -S "$SOURCE" -B "$EARLIER_BUILD" -DCMAKE_BUILD_TYPE="$(cache CMAKE_BUILD_TYPE)" \
  -DCMAKE_CXX_COMPILER="$(cache CMAKE_CXX_COMPILER)" -DCMAKE_CXX_COMPILER_LAUNCHER="$(cache CMAKE_CXX_COMPILER_LAUNCHER)" \
  -DSERVCLIENTE_SANITIZE="$(cache SERVCLIENTE_SANITIZE)" -DSERVCLIENTE_GUI=OFF -DSERVCLIENTE_TESTS=OFF -DSERVCLIENTE_VERSION_OVERRIDE="$EARLIER" &&
  cmake --build "$EARLIER_BUILD" -j2 --target appserver packaging_docs; } >"$TMP/earlier-build.log" 2>&1; then
  tail -n 30 "$TMP/earlier-build.log" >&2
  fail "the earlier tree did not build"
fi
for tree in "$EARLIER_BUILD" "$BUILD"; do
  if ! cpack --config "$tree/CPackConfig.cmake" -B "$TMP/out" -D CPACK_COMPONENTS_ALL="common;server" \
    >"$TMP/cpack.log" 2>&1; then
    cat "$TMP/cpack.log" >&2
    fail "cpack failed in $tree"
  fi
done
for part in common server; do
  for version in "$EARLIER" "$VERSION"; do
    [ -f "$TMP/out/servcliente-${part}_${version}_$(dpkg --print-architecture).deb" ] ||
      fail "no servcliente-$part $version: $(ls "$TMP/out")"
  done
done

# systemd, as far as the maintainer scripts and this test need it.
mkdir "$TMP/run"
sed "s|@RUN@|$TMP/run|" >"$TMP/deb-systemd-invoke" <<'SH'
#!/bin/sh
# Stands in for systemd: start, stop, restart and try-restart of
# servcliente.service run the installed unit's ExecStart with its database,
# umask and user; every call is recorded.
RUN=@RUN@
echo "$*" >>"$RUN/invoked"
[ "$2" = servcliente.service ] || exit 0
UNIT=/usr/lib/systemd/system/servcliente.service
running() { [ -f "$RUN/pid" ] && kill -0 "$(cat "$RUN/pid")" 2>/dev/null; }
stop() {
  if running; then
    pid=$(cat "$RUN/pid")
    kill -TERM "$pid"
    for _ in $(seq 1 300); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  fi
  rm -f "$RUN/pid"
}
start() {
  install -d -o servcliente -g servcliente -m 0750 /var/lib/servcliente
  umask "$(sed -n 's/^UMask=//p' "$UNIT")"
  # shellcheck disable=SC2046
  env $(sed -n 's/^Environment=//p' "$UNIT") setpriv --reuid="$(id -u servcliente)" --regid="$(id -g servcliente)" \
    --clear-groups --no-new-privs $(sed -n 's/^ExecStart=//p' "$UNIT") >"$RUN/server.out" 2>>"$RUN/server.log" </dev/null &
  echo $! >"$RUN/pid"
  for _ in $(seq 1 300); do
    grep -qs '^listening on ' "$RUN/server.out" && return 0
    kill -0 "$(cat "$RUN/pid")" 2>/dev/null || break
    sleep 0.1
  done
  echo "servcliente.service failed to start" >&2
  return 1
}
case $1 in
  start) running || start ;;
  stop) stop ;;
  restart) stop && start ;;
  try-restart) if running; then stop && start; fi ;;
esac
SH

cat >"$TMP/upgrade.sh" <<'SH'
set -eu
for d in etc usr var; do
  mkdir -p "$TMP/overlays/$d/up" "$TMP/overlays/$d/work"
  mount -t overlay overlay -o "lowerdir=/$d,upperdir=$TMP/overlays/$d/up,workdir=$TMP/overlays/$d/work" "/$d" 2>/dev/null || exit 77
done
mount -t tmpfs tmpfs /run
mkdir -p /run/systemd/system
install -m 0755 "$TMP/deb-systemd-invoke" /usr/bin/deb-systemd-invoke
RUN=$TMP/run
trap '/usr/bin/deb-systemd-invoke stop servcliente.service' EXIT
fail() {
  echo "$*" >"$TMP/reason"
  exit 1
}
deb() { echo "$TMP/out/servcliente-$1_$2_$(dpkg --print-architecture).deb"; }
DB=/var/lib/servcliente/servcliente.db
AS="setpriv --reuid=servcliente --regid=servcliente --clear-groups"
# A query while the server may hold the database's lock.
sql() { sqlite3 -cmd '.timeout 10000' "$DB" "$1"; }
# Each table's rows, in order.
rows() {
  for table in FILIAL CLIENTE SERVFILI SERVCLIE AUDITORIA; do
    sql "SELECT '$table', * FROM $table"
  done | sort
}
version() { dpkg-query -W -f '${Version}' "servcliente-$1"; }

# The earlier release, installed, configured, seeded and started.
apt-get install -y "$(deb common "$EARLIER")" "$(deb server "$EARLIER")" || fail "the earlier packages did not install"
[ "$(version server)" = "$EARLIER" ] || fail "servcliente-server is at $(version server), not $EARLIER"
sed -i 's/^listen = .*/listen = "127.0.0.1:0"/' /etc/servcliente/appserver.conf
install -d -o servcliente -g servcliente -m 0750 /var/lib/servcliente
install -d -o servcliente "$TMP/local"
$AS appserver seed --db "$DB" --local-db "$TMP/local/local.db" || fail "seed failed"
deb-systemd-invoke start servcliente.service || fail "the earlier server did not start: $(cat "$RUN/server.log")"
OLD_PID=$(cat "$RUN/pid")
case "$("/proc/$OLD_PID/exe" --version)" in
  "$EARLIER"*) ;;
  *) fail "the earlier server says it is $("/proc/$OLD_PID/exe" --version)" ;;
esac
PORT=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$RUN/server.out")

# Rows stored through the earlier server: every service of a client of
# branch 0002, by the desktop program.
cat >"$TMP/session.ini" <<INI
[session]
FiliProc = 0001
FiliProcFat = 0001
NomeFiliProcFat = Matriz
ModuFili = 0
ModuloAtiv = 15
WebURL = 127.0.0.1
WebPort = $PORT
LocalDatabase = $TMP/local/local.db
INI
ASSIGNED=$(sql 'SELECT COUNT(*) FROM SERVCLIE')
printf 'open\ntype 0002\ntab\nclick btnCliente\npick 0\nclick lsbPossiveis\nclick sbtTodos\ndump\n' |
  timeout 60 "$SHELL_BIN" --headless --session "$TMP/session.ini" >"$TMP/shell.out" 2>&1 ||
  fail "the desktop program failed: $(cat "$TMP/shell.out")"
[ "$(sql 'SELECT COUNT(*) FROM SERVCLIE')" -gt "$ASSIGNED" ] ||
  fail "the desktop program stored no assignment: $(tail -n 3 "$TMP/shell.out")"
[ "$(sql "SELECT COUNT(*) FROM AUDITORIA WHERE CDFILIAL = '0002'")" -gt 0 ] ||
  fail "the earlier server audited no write"
rows >"$TMP/rows.before"
# What the screen shows of that client, read back through a server.
shown() {
  printf 'open\ntype 0002\ntab\nclick btnCliente\npick 0\nfocus lsbPossiveis\ndump\n' |
    timeout 60 "$SHELL_BIN" --headless --session "$TMP/session.ini" >"$TMP/shell.out" 2>&1 ||
    fail "the desktop program failed: $(cat "$TMP/shell.out")"
  tail -n 1 "$TMP/shell.out"
}
shown >"$TMP/shown.before"
grep -q '"cdsServClie":{[^}]*"rows":\[\[' "$TMP/shown.before" || fail "the screen shows no assignment: $(cat "$TMP/shown.before")"

# The current release over it, as README's "Upgrade" says.
apt-get install -y "$(deb common "$VERSION")" "$(deb server "$VERSION")" || fail "the current packages did not install"
for part in common server; do
  [ "$(version $part)" = "$VERSION" ] || fail "servcliente-$part is at $(version $part), not $VERSION"
done
grep -qx 'try-restart servcliente.service' "$RUN/invoked" || fail "postinst did not restart the server: $(cat "$RUN/invoked")"
NEW_PID=$(cat "$RUN/pid" 2>/dev/null) || fail "no server runs after the upgrade: $(cat "$RUN/invoked")"
[ "$NEW_PID" != "$OLD_PID" ] && ! kill -0 "$OLD_PID" 2>/dev/null || fail "the earlier server still runs"
[ "$(readlink "/proc/$NEW_PID/exe")" = /usr/bin/appserver ] ||
  fail "the server runs $(readlink "/proc/$NEW_PID/exe"), not the installed /usr/bin/appserver"
case "$("/proc/$NEW_PID/exe" --version)" in
  "$VERSION"*) ;;
  *) fail "the restarted server says it is $("/proc/$NEW_PID/exe" --version), not $VERSION" ;;
esac
grep -qx 'listen = "127.0.0.1:0"' /etc/servcliente/appserver.conf || fail "the upgrade did not keep the configuration"
PORT=$(sed -n 's/^listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$RUN/server.out")
appserver check --connect "127.0.0.1:$PORT" --liveness >"$TMP/check.out" 2>&1 ||
  fail "the restarted server does not answer: $(cat "$TMP/check.out")"
$AS appserver migrate --db "$DB" --status >"$TMP/migrate.out" 2>&1 || fail "migrate --status: $(cat "$TMP/migrate.out")"
SCHEMA=$(sed -n "s/^appserver migrate: schema version \([0-9]*\) found; this appserver's is \([0-9]*\) .*/\1 \2/p" "$TMP/migrate.out")
[ -n "$SCHEMA" ] && [ "${SCHEMA% *}" = "${SCHEMA#* }" ] ||
  fail "the database is not at the new program's schema: $(cat "$TMP/migrate.out")"
rows >"$TMP/rows.after"
cmp -s "$TMP/rows.before" "$TMP/rows.after" || fail "rows changed: $(diff "$TMP/rows.before" "$TMP/rows.after" | head)"
sed -i "s/^WebPort = .*/WebPort = $PORT/" "$TMP/session.ini"
shown >"$TMP/shown.after"
cmp -s "$TMP/shown.before" "$TMP/shown.after" ||
  fail "the screen shows otherwise through the new server: $(diff "$TMP/shown.before" "$TMP/shown.after" | head -c 2000)"
SH

status=0
export TMP EARLIER VERSION
SHELL_BIN="$BUILD/bin/shell" DEBIAN_FRONTEND=noninteractive unshare -m sh "$TMP/upgrade.sh" >"$TMP/upgrade.log" 2>&1 || status=$?
case $status in
  0) ;;
  77)
    echo "packaging_upgrade: no overlay mounts here: nothing was installed" >&2
    exit 77
    ;;
  *)
    tail -n 25 "$TMP/upgrade.log" >&2
    fail "$(cat "$TMP/reason" 2>/dev/null || echo "the upgrade script ended with $status")"
    ;;
esac
echo "packaging_upgrade: $EARLIER upgraded to $VERSION, the server restarted on it, every row kept"
