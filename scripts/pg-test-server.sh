#!/usr/bin/env bash
# Starts and stops a throwaway PostgreSQL cluster for tests and benchmarks.
#
#   pg-test-server.sh start [WATCH_PID]
#       Creates a cluster in a new temporary folder, starts it on a free port
#       of 127.0.0.1 (socket in the same folder) and prints three lines:
#         PGDIR=<folder>  PGPORT=<port>  PGUSER=<superuser>
#       The superuser's password is "lumbrook-secret"; TCP logins need it,
#       so a wrong password is refused as on a real server.
#       With WATCH_PID, a watcher stops and removes the cluster as soon as
#       that process ends, so a crashed test run leaves nothing behind.
#   pg-test-server.sh stop PGDIR
#       Stops the cluster and removes its folder (safe to call twice).
#
# PostgreSQL refuses to run as root: when run as root the cluster belongs to
# the unprivileged user "postgres" (created by the postgresql package), or to
# LUMBROOK_PG_USER when that is set.
# Exit status 2 means the server binaries are missing (callers skip then).
set -uo pipefail

PASSWORD="lumbrook-secret"
SUPERUSER="lumbrook"

find_bindir() {
  if [ -n "${LUMBROOK_PG_BINDIR:-}" ] && [ -x "$LUMBROOK_PG_BINDIR/pg_ctl" ]; then
    echo "$LUMBROOK_PG_BINDIR"; return 0
  fi
  local d
  for d in $(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V -r); do
    if [ -x "$d/initdb" ] && [ -x "$d/pg_ctl" ]; then echo "$d"; return 0; fi
  done
  if command -v pg_ctl >/dev/null 2>&1 && command -v initdb >/dev/null 2>&1; then
    dirname "$(command -v pg_ctl)"; return 0
  fi
  return 1
}

# Runs a command as the cluster's owner.
as_owner() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u "$OWNER" -- "$@"
  else
    "$@"
  fi
}

port_in_use() {
  (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

stop_cluster() {
  local dir="$1"
  [ -d "$dir" ] || return 0
  [ -f "$dir/bindir" ] || { echo "pg-test-server: $dir is not a test cluster" >&2; return 1; }
  local bindir owner
  bindir="$(cat "$dir/bindir")"
  owner="$(stat -c %U "$dir/data" 2>/dev/null || echo root)"
  OWNER="$owner"
  if [ -f "$dir/data/postmaster.pid" ]; then
    as_owner "$bindir/pg_ctl" -D "$dir/data" -m immediate -w -t 30 stop >/dev/null 2>&1 || true
  fi
  # The watcher (if any) exits by itself once the folder is gone.
  rm -rf -- "$dir"
}

start_cluster() {
  local watch_pid="${1:-}"
  local bindir
  if ! bindir="$(find_bindir)"; then
    echo "pg-test-server: PostgreSQL server binaries (initdb, pg_ctl) not found" >&2
    exit 2
  fi
  OWNER="$(id -un)"
  if [ "$(id -u)" -eq 0 ]; then
    OWNER="${LUMBROOK_PG_USER:-postgres}"
    if ! id "$OWNER" >/dev/null 2>&1; then
      useradd --system --no-create-home --shell /usr/sbin/nologin "$OWNER" >/dev/null 2>&1 || {
        echo "pg-test-server: cannot create the user $OWNER to run PostgreSQL" >&2; exit 1; }
    fi
  fi
  local dir
  dir="$(mktemp -d "${TMPDIR:-/tmp}/lumbrook-pg.XXXXXX")" || exit 1
  echo "$bindir" >"$dir/bindir"
  printf '%s\n' "$PASSWORD" >"$dir/pwfile"
  chmod 600 "$dir/pwfile"
  chmod 755 "$dir"
  [ "$(id -u)" -eq 0 ] && chown "$OWNER" "$dir" "$dir/pwfile"

  if ! as_owner "$bindir/initdb" -D "$dir/data" -U "$SUPERUSER" --pwfile="$dir/pwfile" \
      --auth-local=trust --auth-host=scram-sha-256 -E UTF8 --locale=C.UTF-8 --no-sync \
      >"$dir/initdb.log" 2>&1; then
    echo "pg-test-server: initdb failed:" >&2
    cat "$dir/initdb.log" >&2
    rm -rf -- "$dir"
    exit 1
  fi

  local port tries started=0
  for tries in 1 2 3 4 5 6 7 8 9 10; do
    port=$(( 20000 + (RANDOM * 32768 + RANDOM) % 40000 ))
    port_in_use "$port" && continue
    if as_owner "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
        -o "-c listen_addresses=127.0.0.1 -p $port -c unix_socket_directories=$dir -c fsync=off -c full_page_writes=off -c synchronous_commit=off" \
        start >/dev/null 2>&1; then
      started=1
      break
    fi
  done
  if [ "$started" -ne 1 ]; then
    echo "pg-test-server: the server did not start:" >&2
    tail -n 20 "$dir/server.log" >&2 2>/dev/null
    rm -rf -- "$dir"
    exit 1
  fi

  if [ -n "$watch_pid" ]; then
    # Detached watcher: stops the cluster when the caller ends without doing so.
    ( trap '' HUP INT TERM
      while kill -0 "$watch_pid" 2>/dev/null && [ -d "$dir" ]; do sleep 1; done
      "$0" stop "$dir" ) </dev/null >/dev/null 2>&1 &
    disown 2>/dev/null || true
  fi
  echo "PGDIR=$dir"
  echo "PGPORT=$port"
  echo "PGUSER=$SUPERUSER"
}

case "${1:-}" in
  start) start_cluster "${2:-}" ;;
  stop)
    [ -n "${2:-}" ] || { echo "usage: $0 stop PGDIR" >&2; exit 1; }
    stop_cluster "$2" ;;
  *) echo "usage: $0 start [WATCH_PID] | stop PGDIR" >&2; exit 1 ;;
esac
