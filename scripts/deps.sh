#!/usr/bin/env bash
# Installs the Debian packages the build, the demo and the tests need, when missing.
set -euo pipefail
packages=(
  build-essential cmake pkg-config libgtest-dev libgmock-dev libbenchmark-dev
  libsqlite3-dev libxxhash-dev mdbtools mdbtools-dev libglib2.0-dev
  unixodbc unixodbc-dev odbc-postgresql tdsodbc postgresql
  qt6-base-dev iso-codes python3 python3-dbfread python3-jsonschema locales
  clang libclang-rt-14-dev
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "Run as root (apt-get needs it) or install these packages first." >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
