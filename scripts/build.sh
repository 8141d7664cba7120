#!/usr/bin/env bash
# Configures and builds everything into build/ at the repository root.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
launcher=()
# Several checkouts of the tree share compiled objects through ccache when it is installed.
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" >/dev/null
cmake --build "$root/build" -j2
