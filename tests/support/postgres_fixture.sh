#!/usr/bin/env bash
# A throwaway PostgreSQL cluster for one test run.
#
#   postgres_fixture.sh start STATE_DIR   initdb, start on a free loopback port, create the test role
#   postgres_fixture.sh stop STATE_DIR    stop the cluster and remove everything it wrote
#
# "start" writes STATE_DIR/server.env (lines key=value: host, port, user, password, admin_user,
# admin_password, cluster) for tests/support/postgres.h. The server listens on 127.0.0.1 only,
# takes no Unix-socket connections and asks every client for a password (scram-sha-256). As root
# the cluster runs as Debian's unprivileged "postgres" account, since the server refuses to run as
# root.
set -euo pipefail

die() {
  echo "postgres fixture: $*" >&2
  exit 1
}

[[ $# -eq 2 ]] || die "usage: $0 start|stop STATE_DIR"
command=$1
state=$2

as_owner=()
if [[ $(id -u) -eq 0 ]]; then
  id postgres >/dev/null 2>&1 || die "running as root needs the 'postgres' account (Debian package postgresql)"
  as_owner=(runuser -u postgres --)
fi

bin_dir() {
  local dir
  if command -v pg_config >/dev/null; then
    dir=$(pg_config --bindir)
    [[ -x "$dir/initdb" && -x "$dir/pg_ctl" ]] && { echo "$dir"; return; }
  fi
  for dir in $(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V -r); do
    [[ -x "$dir/initdb" && -x "$dir/pg_ctl" ]] && { echo "$dir"; return; }
  done
  die "no PostgreSQL server found (pg_config --bindir, /usr/lib/postgresql/*/bin); run scripts/setup"
}

port_in_use() {
  (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

random_text() {
  od -An -N16 -tx1 /dev/urandom | tr -d ' \n'
}

stop_cluster() {
  local env_file=$state/server.env cluster bin
  [[ -f "$env_file" ]] || { rm -rf "$state"; return 0; }
  cluster=$(sed -n 's/^cluster=//p' "$env_file")
  bin=$(bin_dir)
  if [[ -n "$cluster" && -f "$cluster/data/postmaster.pid" ]]; then
    "${as_owner[@]}" "$bin/pg_ctl" -D "$cluster/data" -m fast -w -t 60 stop >/dev/null ||
      "${as_owner[@]}" "$bin/pg_ctl" -D "$cluster/data" -m immediate -w stop >/dev/null || true
  fi
  [[ -n "$cluster" ]] && rm -rf "$cluster"
  rm -rf "$state"
}

start_cluster() {
  local bin cluster port admin_password password attempt started=0
  bin=$(bin_dir)
  stop_cluster
  mkdir -p "$state"
  state=$(cd "$state" && pwd)

  # The cluster lives under the state folder unless the server's account cannot reach it (a build
  # folder under a private home); then it goes to a private folder under /tmp.
  cluster=$state/cluster
  mkdir -p "$cluster"
  if [[ ${#as_owner[@]} -gt 0 ]]; then
    chown postgres: "$cluster"
    if ! "${as_owner[@]}" test -w "$cluster"; then
      rmdir "$cluster"
      cluster=$(mktemp -d /tmp/mirelda-postgres-XXXXXX)
      chown postgres: "$cluster"
    fi
  fi
  chmod 700 "$cluster"

  admin_password=$(random_text)
  password=$(random_text)
  printf '%s\n' "$admin_password" >"$cluster/admin.pw"
  [[ ${#as_owner[@]} -gt 0 ]] && chown postgres: "$cluster/admin.pw"
  {
    echo "host=127.0.0.1"
    echo "user=mirelda_test"
    echo "password=$password"
    echo "admin_user=mirelda_admin"
    echo "admin_password=$admin_password"
    echo "cluster=$cluster"
  } >"$state/server.env"

  "${as_owner[@]}" "$bin/initdb" -D "$cluster/data" -U mirelda_admin --pwfile="$cluster/admin.pw" \
    -A scram-sha-256 -E UTF8 --locale=C.UTF-8 --no-sync --no-instructions \
    >"$cluster/initdb.log" 2>&1 || { cat "$cluster/initdb.log" >&2; die "initdb failed"; }
  rm -f "$cluster/admin.pw"
  cat >>"$cluster/data/postgresql.conf" <<'EOF'
listen_addresses = '127.0.0.1'
unix_socket_directories = ''
max_connections = 200
fsync = off
synchronous_commit = off
full_page_writes = off
EOF

  for attempt in $(seq 1 20); do
    port=$((20000 + (RANDOM * 32768 + RANDOM) % 40000))
    port_in_use "$port" && continue
    if "${as_owner[@]}" "$bin/pg_ctl" -D "$cluster/data" -l "$cluster/server.log" -w -t 60 \
      -o "-p $port" start >/dev/null; then
      started=1
      break
    fi
    grep -q "could not bind\|Address already in use" "$cluster/server.log" 2>/dev/null ||
      { cat "$cluster/server.log" >&2; die "the server did not start"; }
  done
  [[ $started -eq 1 ]] || die "no free port found"
  echo "port=$port" >>"$state/server.env"

  PGPASSWORD=$admin_password "$bin/psql" -X -q -h 127.0.0.1 -p "$port" -U mirelda_admin \
    -d postgres -v ON_ERROR_STOP=1 \
    -c "CREATE ROLE mirelda_test LOGIN CREATEDB PASSWORD '$password'" >/dev/null ||
    die "cannot create the test role"
  echo "postgres fixture: server on 127.0.0.1:$port, cluster in $cluster"
}

case "$command" in
  start) start_cluster ;;
  stop) stop_cluster ;;
  *) die "usage: $0 start|stop STATE_DIR" ;;
esac
