#!/usr/bin/env bash
# Requests per second of a page that reads and writes one session value, with wrk on loopback,
# each request naming one of many visitors' sessions: mirelda-host with sessions in memory and
# with sessions in PostgreSQL (a private server started for the run), and two hosts sharing the
# PostgreSQL store behind nginx round robin against one host behind the same nginx. Prints each
# rate and the two ratios (PostgreSQL to memory; two hosts to one), and for each run the cores
# that wrk, the hosts, nginx and PostgreSQL kept busy, next to the whole machine's: on a small
# machine they share, that says which one limits the rate.
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

# Clock ticks of CPU that the processes and their children (live ones) have used so far.
ticks() {  # PID...
  local all=" $* " pid stat total=0 grew=1
  while ((grew)); do
    grew=0
    for stat in /proc/[0-9]*/stat; do
      read -r pid _ _ parent _ 2>/dev/null < "$stat" || continue
      [[ $all == *" $parent "* && $all != *" $pid "* ]] && { all+="$pid "; grew=1; }
    done
  done
  for pid in $all; do
    read -ra stat < <(sed 's/^.*) //' "/proc/$pid/stat" 2>/dev/null) || continue
    total=$((total + ${stat[11]:-0} + ${stat[12]:-0}))
  done
  echo "$total"
}
machine_ticks() { awk '/^cpu / {print $2 + $3 + $4 + $7 + $8}' /proc/stat; }
postmaster=""
cpu_report=""

rate() {  # PORT SESSIONS LABEL HOST_PID... -> requests per second; adds its CPU to cpu_report
  local port=$1 name=$2 label=$3 nginx_pids=""
  shift 3
  [[ $port == "$one_port" ]] && nginx_pids=$nginx1_pid
  [[ $port == "$two_port" ]] && nginx_pids=$nginx2_pid
  local hosts0 pg0 nginx0 machine0 hosts1 pg1 nginx1 machine1 out
  hosts0=$(ticks "$@") pg0=$(ticks $postmaster) nginx0=$(ticks $nginx_pids) machine0=$(machine_ticks)
  out=$(/usr/bin/time -f "wrk-cpu %U %S" wrk -t2 -c"$connections" -d"${seconds}s" \
    -s "$work/$name.lua" "http://127.0.0.1:$port/" 2>&1)
  hosts1=$(ticks "$@") pg1=$(ticks $postmaster) nginx1=$(ticks $nginx_pids) machine1=$(machine_ticks)
  awk '/Non-2xx/ {print "bench: " $0 > "/dev/stderr"}' <<< "$out"
  cpu_report+=$(awk -v name="$label" -v s="$seconds" -v h=$((hosts1 - hosts0)) \
    -v p=$((pg1 - pg0)) -v n=$((nginx1 - nginx0)) -v m=$((machine1 - machine0)) \
    '/^wrk-cpu/ {w = $2 + $3}
     END { printf "  %-8s wrk %.2f  hosts %.2f  nginx %.2f  postgres %.2f  all %.2f\n",
           name, w / s, h / 100 / s, n / 100 / s, p / 100 / s, m / 100 / s }' <<< "$out")$'\n'
  awk '/Requests\/sec/ {print $2}' <<< "$out"
}

postmaster=$(head -n 1 "$(pg cluster)/data/postmaster.pid")
one_port="" two_port=""

start_host memory
memory_port=$port memory_pid=${pids[-1]}
sessions "$memory_port" memory
rate "$memory_port" memory memory "$memory_pid" > "$work/rate"
memory=$(< "$work/rate")

start_host pg1 --session-store "$store"
pg_port=$port pg_pid=${pids[-1]}
sessions "$pg_port" pg1
rate "$pg_port" pg1 postgres "$pg_pid" > "$work/rate"
postgres=$(< "$work/rate")

start_host pg2 --session-store "$store"
second_port=$port second_pid=${pids[-1]}
start_nginx nginx1 "$pg_port"
one_port=$port nginx1_pid=${pids[-1]}
start_nginx nginx2 "$pg_port" "$second_port"
two_port=$port nginx2_pid=${pids[-1]}
sessions "$two_port" two
rate "$one_port" two nginx-1 "$pg_pid" > "$work/rate"
behind_one=$(< "$work/rate")
rate "$two_port" two nginx-2 "$pg_pid" "$second_pid" > "$work/rate"
behind_two=$(< "$work/rate")

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
echo "wrk, 2 threads, $connections connections, $visitors visitors, ${seconds}s each, loopback," \
  "$(nproc) cores"
printf '%-52s %10s req/s\n' "one host, sessions in memory" "$memory"
printf '%-52s %10s req/s  to memory %s\n' "one host, sessions in PostgreSQL" "$postgres" \
  "$(ratio "$postgres" "$memory")"
printf '%-52s %10s req/s\n' "nginx, one host, sessions in PostgreSQL" "$behind_one"
printf '%-52s %10s req/s  to one host %s\n' "nginx, two hosts, sessions in PostgreSQL" \
  "$behind_two" "$(ratio "$behind_two" "$behind_one")"
echo "cores busy during each run (CPU seconds per second; all counts every process on the machine):"
printf '%s' "$cpu_report"
