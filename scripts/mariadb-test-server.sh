#!/usr/bin/env bash
# Starts and stops a throwaway MariaDB server for tests.
#
#   mariadb-test-server.sh start [WATCH_PID]
#       Creates a data folder in a new temporary folder, starts the server on
#       a free port of 127.0.0.1 (socket in the same folder) and prints
#         MYDIR=<folder>  MYPORT=<port>
#       Logins need no password (the server skips its grant tables); it
#       listens on loopback only. With WATCH_PID, a watcher stops and
#       removes the server as soon as that process ends.
#   mariadb-test-server.sh stop MYDIR
#       Stops the server and removes its folder (safe to call twice).
# Exit status 2 means the server binaries are missing (callers skip then).
set -uo pipefail

port_in_use() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

stop_server() {
  local dir="$1"
  [ -d "$dir" ] || return 0
  [ -f "$dir/mariadb-test-server" ] || { echo "mariadb-test-server: $dir is not a test server" >&2; return 1; }
  if [ -f "$dir/pid" ]; then
    local pid; pid="$(cat "$dir/pid")"
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
  fi
  rm -rf "$dir"
}

case "${1:-}" in
  start)
    command -v mariadbd >/dev/null 2>&1 && command -v mariadb-install-db >/dev/null 2>&1 || {
      echo "mariadb-test-server: mariadb-server is not installed" >&2; exit 2; }
    dir="$(mktemp -d /tmp/lumbrook-mariadb.XXXXXX)"
    touch "$dir/mariadb-test-server"
    user=(); [ "$(id -u)" -eq 0 ] && user=(--user=root)
    if ! mariadb-install-db --no-defaults --datadir="$dir/data" "${user[@]}" --skip-test-db \
         --auth-root-authentication-method=normal >"$dir/install.log" 2>&1; then
      cat "$dir/install.log" >&2; rm -rf "$dir"; exit 1
    fi
    port=""
    for _ in $(seq 1 50); do
      p=$(( 20000 + RANDOM % 20000 ))
      port_in_use "$p" || { port="$p"; break; }
    done
    [ -n "$port" ] || { echo "mariadb-test-server: no free port" >&2; rm -rf "$dir"; exit 1; }
    mariadbd --no-defaults --datadir="$dir/data" --socket="$dir/sock" --port="$port" --bind-address=127.0.0.1 \
      --pid-file="$dir/pid" --skip-grant-tables --skip-networking=0 "${user[@]}" >"$dir/server.log" 2>&1 &
    for _ in $(seq 1 300); do
      port_in_use "$port" && break
      sleep 0.1
    done
    if ! port_in_use "$port"; then
      cat "$dir/server.log" >&2; stop_server "$dir"; exit 1
    fi
    if [ -n "${2:-}" ]; then
      watch="$2"
      ( while kill -0 "$watch" 2>/dev/null; do sleep 1; done; stop_server "$dir" ) >/dev/null 2>&1 &
      disown
    fi
    echo "MYDIR=$dir"
    echo "MYPORT=$port"
    ;;
  stop)
    stop_server "${2:?usage: mariadb-test-server.sh stop MYDIR}"
    ;;
  *)
    echo "usage: mariadb-test-server.sh start [WATCH_PID] | stop MYDIR" >&2; exit 64 ;;
esac
