#!/usr/bin/env bash
# Fails when a tracked C++ file is not laid out as .clang-format says.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v clang-format >/dev/null; then
  echo "check-format: clang-format is not installed (scripts/install-deps.sh installs it)" >&2
  exit 1
fi
git ls-files -z '*.cpp' '*.h' '*.cc' '*.hpp' | xargs -0 clang-format --dry-run --Werror
echo "check-format: every tracked C++ file is formatted"
