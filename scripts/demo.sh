#!/usr/bin/env bash
# Builds the project and runs the main job on the bundled sample dossier.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/deps.sh"
bash "$root/scripts/build.sh"
if [ -x "$root/build/bin/kestrel-dump" ]; then
  out=$(mktemp -d)
  "$root/build/bin/kestrel-dump" --template "$out" --language F
  "$root/build/bin/kestrel-dump" --check "$out/VIDE"
  echo "Empty Kestrel dossier written to $out/VIDE"
fi
