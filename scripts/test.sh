#!/usr/bin/env bash
# Builds everything and runs every test: once as built normally, once under
# AddressSanitizer and UBSan. Starts a throw-away PostgreSQL cluster for the
# server's tests and stops it afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)

BUILD_DIR=build scripts/build.sh
BUILD_DIR=build-asan scripts/build.sh -DSERVCLIENTE_SANITIZE=ON -DSERVCLIENTE_GUI=OFF

if [ -x scripts/pg-test-cluster.sh ]; then
  eval "$(scripts/pg-test-cluster.sh start)"
  trap 'scripts/pg-test-cluster.sh stop >/dev/null 2>&1 || true' EXIT
fi

export QT_QPA_PLATFORM=offscreen
status=0
(cd build && ctest --output-on-failure -j2 --timeout 300) || status=1
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
   ctest --output-on-failure -j2 --timeout 600) || status=1
exit $status
