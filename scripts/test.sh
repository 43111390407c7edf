#!/usr/bin/env bash
# Builds everything and runs every test: once as built normally, once under
# AddressSanitizer and UBSan. Starts a throw-away PostgreSQL cluster for the
# server's tests and stops it afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)

BUILD_DIR=build scripts/build.sh
BUILD_DIR=build-asan scripts/build.sh -DSERVCLIENTE_SANITIZE=ON -DSERVCLIENTE_GUI=OFF

# The server's tests run on PostgreSQL too when a cluster can be started.
if SERVCLIENTE_PG_URL=$(scripts/pg-test-cluster.sh start 2>/dev/null); then
  export SERVCLIENTE_PG_URL
  trap 'scripts/pg-test-cluster.sh stop >/dev/null 2>&1 || true' EXIT
else
  echo "test.sh: no PostgreSQL cluster; the PostgreSQL cases will be skipped" >&2
fi

export QT_QPA_PLATFORM=offscreen
status=0
(cd build && ctest --output-on-failure -j2 --timeout 300) || status=1
# The screen speaks the package's own language whatever the caller's locale.
(cd build && LANG=en_US.UTF-8 LC_ALL= LC_MESSAGES= ctest --output-on-failure -j2 --timeout 300 -L '^e2e$') || status=1
# The soak runs once, in the normal build: the sanitizers' own bookkeeping
# would hide whether the server's memory stays flat.
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
   ctest --output-on-failure -j2 --timeout 600 -E '^SoakTest\.|^packaging$|^packaging_upgrade$') || status=1
# Every reader of outside data, fuzzed for a bounded time.
FUZZ_SECONDS=${FUZZ_SECONDS:-20} scripts/fuzz.sh || status=1
exit $status
