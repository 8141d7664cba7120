#!/usr/bin/env bash
# Starts or stops the private SQL server the tests talk to through ODBC:
# a throw-away PostgreSQL cluster on 127.0.0.1 and a free port, reached through
# the psqlODBC driver registered under the driver name "SQL Server" in a private
# odbcinst.ini. The machine's own ODBC configuration is never touched.
#
#   sql-test-server.sh start|stop|status
#
# Tests find the server through build/sql-test-server/env (shell assignments:
# ODBCSYSINI, ODBCINI, PGPORT, M2K_SQL_SERVER, M2K_SQL_ADMIN, M2K_SQL_ADMIN_PASSWORD).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
state="${M2K_SQL_STATE_DIR:-$root/build/sql-test-server}"
envfile="$state/env"
pgbin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1 || true)

as_owner() {
  # initdb and postgres refuse to run as root.
  if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

find_driver() {
  local d
  for d in /usr/lib/x86_64-linux-gnu/odbc /usr/lib/aarch64-linux-gnu/odbc /usr/lib/odbc /usr/lib64 /usr/local/lib; do
    [ -f "$d/psqlodbcw.so" ] && { echo "$d/psqlodbcw.so"; return; }
  done
  echo "psqlODBC driver (psqlodbcw.so) not found; install odbc-postgresql" >&2
  exit 1
}

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

start() {
  if [ -f "$envfile" ] && status >/dev/null 2>&1; then echo "SQL test server already running"; return; fi
  [ -n "$pgbin" ] || { echo "PostgreSQL server binaries not found; install postgresql" >&2; exit 1; }
  local data port password driver
  data=$(mktemp -d /tmp/m2k-sql-XXXXXX)
  port=$(free_port)
  password="adm-$(od -An -N6 -tx1 /dev/urandom | tr -d ' \n')"
  driver=$(find_driver)
  mkdir -p "$state/odbc"
  printf '%s\n' "$password" >"$data/pw"
  if [ "$(id -u)" -eq 0 ]; then chown -R postgres "$data"; fi
  chmod 700 "$data"
  as_owner "$pgbin/initdb" -D "$data/cluster" -U m2k_admin --pwfile="$data/pw" \
    --auth-host=scram-sha-256 --auth-local=scram-sha-256 -E UTF8 --locale=C.UTF-8 >"$data/initdb.log"
  rm -f "$data/pw"
  as_owner "$pgbin/pg_ctl" -D "$data/cluster" -l "$data/server.log" -w -t 60 \
    -o "-c listen_addresses=127.0.0.1 -c port=$port -c unix_socket_directories=$data -c fsync=off" start >/dev/null
  # The driver name every connection text uses. A SQL Server connection text
  # has no port of its own: the driver's client library takes it from PGPORT.
  cat >"$state/odbc/odbcinst.ini" <<INI
[SQL Server]
Description=PostgreSQL test server standing in for SQL Server
Driver=$driver
INI
  cat >"$state/odbc/odbc.ini" <<INI
INI
  cat >"$envfile" <<ENV
M2K_SQL_DATA=$data
ODBCSYSINI=$state/odbc
ODBCINI=$state/odbc/odbc.ini
M2K_SQL_SERVER=127.0.0.1
PGPORT=$port
M2K_SQL_ADMIN=m2k_admin
M2K_SQL_ADMIN_PASSWORD=$password
ENV
  echo "SQL test server started on 127.0.0.1:$port (driver name \"SQL Server\", ODBCSYSINI=$state/odbc)"
}

stop() {
  [ -f "$envfile" ] || { echo "SQL test server not running"; return; }
  local data
  data=$(sed -n 's/^M2K_SQL_DATA=//p' "$envfile")
  if [ -n "$data" ] && [ -d "$data/cluster" ]; then
    as_owner "$pgbin/pg_ctl" -D "$data/cluster" -m fast -w stop >/dev/null 2>&1 || true
    rm -rf "$data"
  fi
  rm -f "$envfile"
  echo "SQL test server stopped"
}

status() {
  [ -f "$envfile" ] || { echo "not running"; return 1; }
  local data
  data=$(sed -n 's/^M2K_SQL_DATA=//p' "$envfile")
  as_owner "$pgbin/pg_ctl" -D "$data/cluster" status
}

case "${1:-}" in
  start) start ;;
  stop) stop ;;
  status) status ;;
  *) echo "usage: $0 start|stop|status" >&2; exit 2 ;;
esac
