#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing need.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends \
  build-essential cmake pkg-config git clang clang-format libclang-rt-14-dev \
  libmsgpack-cxx-dev libasio-dev libcli11-dev libspdlog-dev nlohmann-json3-dev \
  libsqlite3-dev sqlite3 libpq-dev postgresql libssl-dev openssl \
  qt6-base-dev qt6-translations-l10n libgl-dev fonts-dejavu-core fonts-dejavu-extra \
  libgtest-dev libbenchmark-dev prometheus-cpp-dev prometheus \
  dpkg-dev libsystemd-dev systemd desktop-file-utils lintian curl >/dev/null
