#!/usr/bin/env bash
# Requests per second of mirelda-host against nginx, side by side in one run, with wrk on
# loopback: a page that writes one line (in JavaScript and in VBScript), a page that creates
# Mirelda.Database and calls a member, and (for reference) mirelda-host's own static files, each
# against nginx serving a static file of the same size as the page's reply body, and a Node http
# server answering the same line; and a 20 KiB page with and without gzip. Prints each rate and
# its ratio to nginx and to Node; then the one-line page and the static file for clients that
# close their connection after each request; then the pages and the file again with a thread per
# connection (--threading connection), beside a second run of the Node server.
#
# The kept-connection rates of the pages (the 20 KiB page with gzip and without too), the static
# files and Node are taken in ROUNDS rounds, one of each in turn per round: on a shared machine
# the speed drifts over minutes, and a ratio of two rates taken side by side holds where rates
# taken minutes apart do not. Each figure is the median over the rounds; each ratio the median of
# the rounds' own ratios.
#
#   bench/host/run.sh [SECONDS] [CONNECTIONS] [ROUNDS]   (defaults: 10 s, 32 connections, 3
#                                                         rounds; BUILD_DIR names a build folder
#                                                         to use as it is)
set -euo pipefail
cd "$(dirname "$0")/../.."

seconds=${1:-10}
connections=${2:-32}
rounds=${3:-3}
[[ -n "${BUILD_DIR:-}" ]] || bash scripts/setup --test
build_dir=${BUILD_DIR:-$(bash scripts/build | tail -n 1)}

work=$(mktemp -d)
chmod 755 "$work"
host_pid=""
nginx_pid=""
node_pid=""
cleanup() {
  [[ -n "$node_pid" ]] && kill "$node_pid" 2>/dev/null && wait "$node_pid" 2>/dev/null || true
  [[ -n "$host_pid" ]] && kill "$host_pid" 2>/dev/null && wait "$host_pid" 2>/dev/null || true
  [[ -n "$nginx_pid" ]] && kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/site" "$work/static"
cat > "$work/site/line.asp" <<'PAGE'
<%@ LANGUAGE="JavaScript" %><% Response.Write("Hello from a Mirelda page.\n"); %>
PAGE
cat > "$work/site/line_vbs.asp" <<'PAGE'
<% Response.Write "Hello from a Mirelda page." & vbLf %>
PAGE
cat > "$work/site/database.asp" <<'PAGE'
<%@ LANGUAGE="JavaScript" %><% var db = Server.CreateObject("Mirelda.Database"); db.setConnection(null); Response.Write("Database member called.\n"); %>
PAGE
# 20 KiB of text in 20 writes, for the cost of compression.
{
  echo '<%@ LANGUAGE="JavaScript" %><% for (var i = 0; i < 20; i++) {'
  echo "  Response.Write(\"$(printf 'row %04d of a page that compresses; ' $(seq 1 30) | head -c 1023)\n\");"
  echo '} %>'
} > "$work/site/text20k.asp"
printf 'Hello from a Mirelda page.\n' > "$work/static/line.txt"
printf 'Database member called.\n' > "$work/static/database.txt"
cp "$work/static/line.txt" "$work/site/line.txt"

export MIRELDA_REGISTRY="$work/registry"
"$build_dir/mirelda-regsvr" "$build_dir/libmirelda.so" >/dev/null

# Starts mirelda-host with the extra options given; sets host_pid and host_port.
start_host() {
  "$build_dir/mirelda-host" --site "$work/site" --listen 127.0.0.1:0 --data "$work/var" "$@" \
    > "$work/host.out" 2> /dev/null &
  host_pid=$!
  for _ in $(seq 50); do grep -q serving "$work/host.out" && break; sleep 0.1; done
  host_port=$(sed -n 's|.*http://127.0.0.1:\([0-9]*\)/.*|\1|p' "$work/host.out")
}
start_host

nginx_port=$(( 20000 + RANDOM % 20000 ))
mkdir -p "$work/nginx"
cat > "$work/nginx/nginx.conf" <<CONF
daemon off;
worker_processes 2;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 1024; }
http {
  access_log off;
  client_body_temp_path $work/nginx/body;
  proxy_temp_path $work/nginx/proxy;
  fastcgi_temp_path $work/nginx/fastcgi;
  uwsgi_temp_path $work/nginx/uwsgi;
  scgi_temp_path $work/nginx/scgi;
  default_type text/plain;
  server { listen 127.0.0.1:$nginx_port; root $work/static; }
}
CONF
nginx -c "$work/nginx/nginx.conf" -p "$work/nginx" &
nginx_pid=$!
node_port=$(( nginx_port + 1 ))
node -e "require('http').createServer((q, s) => s.end('Hello from a Mirelda page.\\n'))
  .listen($node_port, '127.0.0.1')" &
node_pid=$!
sleep 0.5

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
rate() {  # URL [HEADER] -> requests per second
  wrk -t2 -c"$connections" -d"${seconds}s" ${2:+-H "$2"} "$1" | awk '/Requests\/sec/ {print $2}'
}
for url in "http://127.0.0.1:$host_port/line.asp" "http://127.0.0.1:$nginx_port/line.txt"; do
  curl -sf "$url" > /dev/null || { echo "bench: $url does not answer" >&2; exit 1; }
done

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# Each round takes every rate once, in this order, and every ratio from that round's rates.
declare -A url=(
  [nginx_line]="http://127.0.0.1:$nginx_port/line.txt" [node_line]="http://127.0.0.1:$node_port/"
  [line]="http://127.0.0.1:$host_port/line.asp"
  [line_vbs]="http://127.0.0.1:$host_port/line_vbs.asp"
  [database]="http://127.0.0.1:$host_port/database.asp"
  [nginx_database]="http://127.0.0.1:$nginx_port/database.txt"
  [host_static]="http://127.0.0.1:$host_port/line.txt"
  [page20k]="http://127.0.0.1:$host_port/text20k.asp"
  [page20k_gzip]="http://127.0.0.1:$host_port/text20k.asp")
declare -A header=([page20k_gzip]="Accept-Encoding: gzip")
measured=(nginx_line node_line line line_vbs database nginx_database host_static page20k
  page20k_gzip)
ratios=(line/node_line line/nginx_line line_vbs/line database/line database/nginx_database
  host_static/nginx_line page20k_gzip/page20k)
declare -A rates=() round_ratios=()
for _ in $(seq "$rounds"); do
  declare -A now=()
  for name in "${measured[@]}"; do
    now[$name]=$(rate "${url[$name]}" "${header[$name]:-}")
    rates[$name]+=" ${now[$name]}"
  done
  for pair in "${ratios[@]}"; do
    round_ratios[$pair]+=" $(ratio "${now[${pair%/*}]}" "${now[${pair#*/}]}")"
  done
done
# The median rate under each name (line, node_line, ...), and of a ratio by its pair's name.
for name in "${measured[@]}"; do
  # shellcheck disable=SC2086  # the rates are words
  printf -v "$name" '%s' "$(median ${rates[$name]})"
done
# shellcheck disable=SC2086  # the ratios are words
ratio_of() { median ${round_ratios[$1]}; }
# Clients that do not keep their connection: a new connection for every request.
rate_close() {
  wrk -t2 -c"$connections" -d"${seconds}s" -H 'Connection: close' "$1" |
    awk '/Requests\/sec/ {print $2}'
}
line_close=$(rate_close "http://127.0.0.1:$host_port/line.asp")
host_static_close=$(rate_close "http://127.0.0.1:$host_port/line.txt")
nginx_close=$(rate_close "http://127.0.0.1:$nginx_port/line.txt")
node_close=$(rate_close "http://127.0.0.1:$node_port/")

# The same pages and file with a thread per connection.
kill "$host_pid" && wait "$host_pid" 2>/dev/null || true
start_host --threading connection
own_line=$(rate "http://127.0.0.1:$host_port/line.asp")
own_line_vbs=$(rate "http://127.0.0.1:$host_port/line_vbs.asp")
own_database=$(rate "http://127.0.0.1:$host_port/database.asp")
own_static=$(rate "http://127.0.0.1:$host_port/line.txt")
own_line_close=$(rate_close "http://127.0.0.1:$host_port/line.asp")
node_line_again=$(rate "http://127.0.0.1:$node_port/")

echo "wrk, 2 threads, $connections connections, ${seconds}s each, loopback, $(nproc) cores"
echo "kept connections, median of $rounds rounds (ratios: median of each round's own)"
printf '%-44s %10s req/s\n' "nginx, static file of the line page's size" "$nginx_line"
printf '%-44s %10s req/s\n' "nginx, static file of the database page's size" "$nginx_database"
printf '%-44s %10s req/s\n' "node http, hello world" "$node_line"
printf '%-44s %10s req/s  ratio %s (to node %s; rounds%s)\n' \
  "mirelda-host, page writing one line" "$line" "$(ratio_of line/nginx_line)" \
  "$(ratio_of line/node_line)" "${round_ratios[line/node_line]}"
printf '%-44s %10s req/s  to the JavaScript page %s\n' "mirelda-host, the same page in VBScript" \
  "$line_vbs" "$(ratio_of line_vbs/line)"
printf '%-44s %10s req/s  to the one-line page %s (rounds%s)\n' \
  "mirelda-host, page creating Mirelda.Database" "$database" "$(ratio_of database/line)" \
  "${round_ratios[database/line]}"
printf '%-44s %10s req/s  ratio %s\n' "mirelda-host, page calling Mirelda.Database" "$database" \
  "$(ratio_of database/nginx_database)"
printf '%-44s %10s req/s  ratio %s\n' "mirelda-host, static file" "$host_static" \
  "$(ratio_of host_static/nginx_line)"
printf '%-44s %10s req/s\n' "nginx, static file, new connections" "$nginx_close"
printf '%-44s %10s req/s\n' "node http, hello world, new connections" "$node_close"
printf '%-44s %10s req/s  ratio %s (to node %s)\n' "mirelda-host, one-line page, new connections" \
  "$line_close" "$(ratio "$line_close" "$nginx_close")" "$(ratio "$line_close" "$node_close")"
printf '%-44s %10s req/s  ratio %s\n' "mirelda-host, static file, new connections" \
  "$host_static_close" "$(ratio "$host_static_close" "$nginx_close")"
printf '%-44s %10s req/s\n' "mirelda-host, 20 KiB page" "$page20k"
printf '%-44s %10s req/s  cost of gzip %s (rounds%s)\n' "mirelda-host, 20 KiB page, gzip" \
  "$page20k_gzip" \
  "$(awk -v r="$(ratio_of page20k_gzip/page20k)" 'BEGIN { printf "%.1f %%", (1 - r) * 100 }')" \
  "${round_ratios[page20k_gzip/page20k]}"
echo "mirelda-host --threading connection:"
printf '%-44s %10s req/s  (its own run)\n' "node http, hello world" "$node_line_again"
printf '%-44s %10s req/s  ratio %s (to node %s, %s)\n' "  page writing one line" "$own_line" \
  "$(ratio "$own_line" "$nginx_line")" "$(ratio "$own_line" "$node_line")" \
  "$(ratio "$own_line" "$node_line_again")"
printf '%-44s %10s req/s  ratio %s (to node %s, %s)\n' "  the same page in VBScript" \
  "$own_line_vbs" "$(ratio "$own_line_vbs" "$nginx_line")" "$(ratio "$own_line_vbs" "$node_line")" \
  "$(ratio "$own_line_vbs" "$node_line_again")"
printf '%-44s %10s req/s  to the one-line page %s\n' "  page creating Mirelda.Database" \
  "$own_database" "$(ratio "$own_database" "$own_line")"
printf '%-44s %10s req/s  ratio %s\n' "  static file" "$own_static" \
  "$(ratio "$own_static" "$nginx_line")"
printf '%-44s %10s req/s  ratio %s (to node %s)\n' "  one-line page, new connections" \
  "$own_line_close" "$(ratio "$own_line_close" "$nginx_close")" \
  "$(ratio "$own_line_close" "$node_close")"
