#!/usr/bin/env bash
# Builds the project and runs every test, starting the services the tests use.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/deps.sh"
bash "$root/scripts/build.sh"
if [ -f "$root/scripts/sql-test-server.sh" ]; then
  bash "$root/scripts/sql-test-server.sh" start
  trap 'bash "$root/scripts/sql-test-server.sh" stop' EXIT
fi
cd "$root/build"
ctest --output-on-failure -j2 --timeout 600
