#!/usr/bin/env bash
# The main job: builds everything, seeds the demo database (embedded SQLite),
# starts a local application server and opens the screen in the shell.
# With a display the desktop shell opens its window; without one the shell
# runs headless through a short demo script and prints what it shows.
#
#   scripts/run-demo.sh             build, seed (once), serve, open the screen
#   DEMO_HEADLESS=1 scripts/run-demo.sh   force the headless demo
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)

BUILD_DIR=${BUILD_DIR:-build} scripts/build.sh
BIN="$ROOT/${BUILD_DIR:-build}/bin"

DEMO="$ROOT/demo"
mkdir -p "$DEMO"
if [ ! -f "$DEMO/server.db" ]; then
  "$BIN/appserver" seed --db "$DEMO/server.db" --local-db "$DEMO/local.db"
fi

"$BIN/appserver" --db "$DEMO/server.db" --listen 127.0.0.1:0 > "$DEMO/server.out" 2> "$DEMO/server.log" &
SERVER=$!
trap 'kill $SERVER 2>/dev/null || true; wait $SERVER 2>/dev/null || true' EXIT
for _ in $(seq 1 100); do
  grep -q '^listening on ' "$DEMO/server.out" 2>/dev/null && break
  sleep 0.1
done
PORT=$(sed -n 's/^listening on .*:\([0-9]*\)$/\1/p' "$DEMO/server.out")
if [ -z "$PORT" ]; then
  echo "run-demo: the application server did not start; see $DEMO/server.log" >&2
  exit 1
fi

cat > "$DEMO/session.ini" <<INI
[session]
FiliProc = 0001
FiliProcFat = 0001
NomeFiliProcFat = Matriz São Paulo
ModuFili = 0
ModuloAtiv = 15
WebURL = 127.0.0.1
WebPort = $PORT
LocalDatabase = $DEMO/local.db
INI

if [ -z "${DEMO_HEADLESS:-}" ] && [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  "$BIN/shell" --session "$DEMO/session.ini" --open
else
  echo "run-demo: no display; driving the screen headless" >&2
  "$BIN/shell" --headless --session "$DEMO/session.ini" --trace <<'SCRIPT'
open
click btnCliente
pick 0
focus lsbPossiveis
listclick lsbPossiveis 0
listclick lsbPossiveis 1 ctrl
click sbtEscolhido
cellclick dbgPadrao 0
click sbtUmEsquerda
dump
close
SCRIPT
fi
