#!/usr/bin/env bash
# Requests per second of a page that reads and writes one session value, with wrk on loopback,
# each request naming one of many visitors' sessions: mirelda-host with sessions in memory and
# with sessions in PostgreSQL (a private server started for the run), and two hosts sharing the
# PostgreSQL store behind nginx round robin against one host behind the same nginx. Prints each
# rate and the two ratios (PostgreSQL to memory; two hosts to one).
#
#   bench/host/sessions.sh [SECONDS] [CONNECTIONS] [VISITORS]
#       defaults: 10 s, 32 connections, 200 visitors; BUILD_DIR names a build folder to use as it is
set -euo pipefail
cd "$(dirname "$0")/../.."

seconds=${1:-10}
connections=${2:-32}
visitors=${3:-200}
[[ -n "${BUILD_DIR:-}" ]] || bash scripts/setup --test
build_dir=${BUILD_DIR:-$(bash scripts/build | tail -n 1)}

work=$(mktemp -d)
chmod 755 "$work"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true; done
  bash tests/support/postgres_fixture.sh stop "$work/pg" || true
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/site"
cat > "$work/site/session.asp" <<'PAGE'
<% Session("n") = Session("n") + 1 %><%= Session("n") %>
PAGE
export MIRELDA_REGISTRY="$work/registry"
"$build_dir/mirelda-regsvr" "$build_dir/libmirelda.so" >/dev/null

bash tests/support/postgres_fixture.sh start "$work/pg" >/dev/null
pg() { sed -n "s/^$1=//p" "$work/pg/server.env"; }
psql_bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)/psql
PGPASSWORD=$(pg password) "$psql_bin" -X -q -h 127.0.0.1 -p "$(pg port)" -U "$(pg user)" \
  -d postgres -c "CREATE DATABASE sessions" >/dev/null
store="postgresql://$(pg user):$(pg password)@127.0.0.1:$(pg port)/sessions"

# Each start_ function leaves the port of what it started in $port (no subshell, so that the
# process is ours to stop).
start_host() {  # NAME [OPTIONS...]
  local name=$1
  shift
  "$build_dir/mirelda-host" --site "$work/site" --listen 127.0.0.1:0 --data "$work/var-$name" \
    "$@" > "$work/$name.out" 2> "$work/$name.log" &
  pids+=($!)
  for _ in $(seq 100); do grep -q serving "$work/$name.out" && break; sleep 0.1; done
  port=$(sed -n 's|.*http://127.0.0.1:\([0-9]*\)/.*|\1|p' "$work/$name.out")
  [[ -n "$port" ]] || { echo "bench: mirelda-host did not start" >&2; cat "$work/$name.log" >&2; exit 1; }
}

start_nginx() {  # NAME PORT...
  local name=$1 servers="" user=""
  port=$(( 20000 + RANDOM % 20000 ))
  shift
  [[ $(id -u) -eq 0 ]] && user="user root;"
  for p in "$@"; do servers+="server 127.0.0.1:$p; "; done
  mkdir -p "$work/$name"
  cat > "$work/$name/nginx.conf" <<CONF
$user
daemon off;
worker_processes 2;
pid $work/$name/nginx.pid;
error_log $work/$name/error.log;
events { worker_connections 1024; }
http {
  access_log off;
  client_body_temp_path $work/$name/body;
  proxy_temp_path $work/$name/proxy;
  fastcgi_temp_path $work/$name/fastcgi;
  uwsgi_temp_path $work/$name/uwsgi;
  scgi_temp_path $work/$name/scgi;
  upstream hosts { $servers keepalive 64; }
  server {
    listen 127.0.0.1:$port;
    location / { proxy_pass http://hosts; proxy_http_version 1.1; proxy_set_header Connection ""; }
  }
}
CONF
  nginx -c "$work/$name/nginx.conf" -p "$work/$name" -e "$work/$name/error.log" &
  pids+=($!)
  for _ in $(seq 100); do curl -s -o /dev/null "http://127.0.0.1:$port/" && return; sleep 0.05; done
  echo "bench: nginx did not start" >&2
  exit 1
}

# One session per visitor, made through port, and a wrk script that spreads requests over them.
sessions() {  # PORT NAME
  local i
  : > "$work/$2.cookies"
  for i in $(seq "$visitors"); do
    curl -s -D - -o /dev/null "http://127.0.0.1:$1/session.asp" |
      sed -n 's/^Set-Cookie: \(MIRELDA_SESSION=[0-9a-f]*\).*/\1/p' >> "$work/$2.cookies"
  done
  [[ $(wc -l < "$work/$2.cookies") -eq $visitors ]] || { echo "bench: no sessions made" >&2; exit 1; }
  cat > "$work/$2.lua" <<LUA
local cookies = {}
for line in io.lines("$work/$2.cookies") do cookies[#cookies + 1] = line end
local n = 0
request = function()
  n = n + 1
  return wrk.format("GET", "/session.asp", { Cookie = cookies[(n % #cookies) + 1] })
end
LUA
}

rate() {  # PORT NAME -> requests per second
  wrk -t2 -c"$connections" -d"${seconds}s" -s "$work/$2.lua" "http://127.0.0.1:$1/" |
    awk '/Requests\/sec/ {print $2} /Non-2xx/ {print "bench: " $0 > "/dev/stderr"}'
}

start_host memory
memory_port=$port
sessions "$memory_port" memory
memory=$(rate "$memory_port" memory)

start_host pg1 --session-store "$store"
pg_port=$port
sessions "$pg_port" pg1
postgres=$(rate "$pg_port" pg1)

start_host pg2 --session-store "$store"
second_port=$port
start_nginx nginx1 "$pg_port"
one_port=$port
start_nginx nginx2 "$pg_port" "$second_port"
two_port=$port
sessions "$two_port" two
behind_one=$(rate "$one_port" two)
behind_two=$(rate "$two_port" two)

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
echo "wrk, 2 threads, $connections connections, $visitors visitors, ${seconds}s each, loopback," \
  "$(nproc) cores"
printf '%-52s %10s req/s\n' "one host, sessions in memory" "$memory"
printf '%-52s %10s req/s  to memory %s\n' "one host, sessions in PostgreSQL" "$postgres" \
  "$(ratio "$postgres" "$memory")"
printf '%-52s %10s req/s\n' "nginx, one host, sessions in PostgreSQL" "$behind_one"
printf '%-52s %10s req/s  to one host %s\n' "nginx, two hosts, sessions in PostgreSQL" \
  "$behind_two" "$(ratio "$behind_two" "$behind_one")"
