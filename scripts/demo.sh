#!/usr/bin/env bash
# Builds the project and runs the main job: the bundled sample Marlin dossier
# (Access, prefixed layout, company "001", two book years) imported in full,
# master data and history, into a new Kestrel dossier in a fresh folder, then
# a short summary of the result.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/deps.sh"
bash "$root/scripts/build.sh"
bin="$root/build/bin"
out=$(mktemp -d)
"$bin/marlin2kestrel" --kestrel-folder "$out" --dossier DEMO \
  --source-folder "$root/build/samples/access-prefixed" --company 001

dossier="$out/DEMO"
rows() { "$bin/kestrel-dump" "$dossier/DEMO_$1.DBF" | tail -n +2 | grep -vc '^\*' || true; }
echo
echo "Kestrel dossier written to $dossier"
printf '  %-36s %s\n' "customers and suppliers (CSF)" "$(rows CSF)" \
  "general accounts (ACF)" "$(rows ACF)" \
  "codes: categories, payment (TABLE)" "$(rows TABLE)" \
  "parameters (PARAM)" "$(rows PARAM)" \
  "journals, book years 1 and 2 (DBK)" "$(rows DBK_01) + $(rows DBK_02)" \
  "accounting lines (ACT)" "$(rows ACT)"
"$bin/kestrel-dump" --check "$dossier" >/dev/null && echo "  every index checked: OK"
