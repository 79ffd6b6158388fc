#!/usr/bin/env bash
# One multipart file upload stored to disk, end to end over loopback: mirelda-host (a page with
# Mirelda.FileSystem) against a Node http server with busboy (as it is, and flushing each file as
# the host does), alternating, median of RUNS each. Then one form of 20 small files the same way.
# Then the host's peak resident size above idle for one 64 MiB upload and for ten at once, and
# one 1 GiB upload with --max-body 2G.
#   bench/upload/host_upload.sh [RUNS]        (BUILD_DIR overrides the build folder)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
cd "$here/../.."
runs=${1:-7}
build_dir=${BUILD_DIR:-$(bash scripts/build | tail -n 1)}
[[ -f "$here/node_modules/busboy/package.json" ]] ||
  (cd "$here" && npm ci --no-audit --no-fund --silent)

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null && wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# A body of COUNT file parts of 10,000 bytes each, named s0.bin, s1.bin...
make_small_files() {
  python3 - "$1" "$2" <<'PY'
import os, sys
count, out = int(sys.argv[1]), sys.argv[2]
with open(out, "wb") as f:
    for i in range(count):
        f.write(b"--BenchBoundary\r\nContent-Disposition: form-data; name=\"f%d\"; "
                b"filename=\"s%d.bin\"\r\nContent-Type: application/octet-stream\r\n\r\n" % (i, i))
        f.write(os.urandom(10000) + b"\r\n")
    f.write(b"--BenchBoundary--\r\n")
PY
}

# A body of one file part of SIZE bytes: boundary, header, content, closing boundary.
make_body() {
  python3 - "$1" "$2" <<'PY'
import os, sys
size, out = int(sys.argv[1]), sys.argv[2]
with open(out, "wb") as f:
    f.write(b"--BenchBoundary\r\nContent-Disposition: form-data; name=\"f\"; filename=\"big.bin\"\r\n"
            b"Content-Type: application/octet-stream\r\n\r\n")
    block = os.urandom(1 << 20)
    for _ in range(size >> 20):
        f.write(block)
    f.write(b"\r\n--BenchBoundary--\r\n")
PY
}

export MIRELDA_REGISTRY="$work/registry"
"$build_dir/mirelda-regsvr" "$build_dir/libmirelda.so" >/dev/null
"$build_dir/mirelda-regsvr" "$build_dir/libmirelda-data.so" >/dev/null
mkdir -p "$work/site" "$work/node"
cat > "$work/site/up.asp" <<'PAGE'
<%@ LANGUAGE="JavaScript" %><% var up = Server.CreateObject("Mirelda.FileSystem");
up.MaxSize = 2147483647; up.OverWrite = 2;
Response.Write(up.Upload(0, "C:\\up")); %>
PAGE

host_pid=""
start_host() {
  [[ -n "$host_pid" ]] && kill "$host_pid" && wait "$host_pid" 2>/dev/null || true
  rm -rf "$work/var"
  mkdir -p "$work/var/c/up"
  "$build_dir/mirelda-host" --site "$work/site" --listen 127.0.0.1:0 --data "$work/var" \
    --max-body 2G > "$work/host.out" 2> /dev/null &
  host_pid=$!
  pids+=("$host_pid")
  for _ in $(seq 100); do grep -q serving "$work/host.out" && break; sleep 0.1; done
  host_url="http://127.0.0.1:$(sed -n 's|.*http://127.0.0.1:\([0-9]*\)/.*|\1|p' "$work/host.out")/up.asp"
  curl -s "$host_url" > /dev/null
}
kib() { awk -v k="$1:" '$1 == k { print $2 }' "/proc/$host_pid/status"; }
post() { curl -s -o "$work/reply" -w '%{time_total}' -H 'Content-Type: multipart/form-data; boundary=BenchBoundary' -H "Expect:" -X POST -T "$2" "$1"; }
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

make_body $((64 << 20)) "$work/body64"
node_port=$(( 20000 + RANDOM % 20000 ))
node "$here/busboy_server.js" "$node_port" "$work/node" > "$work/node.out" &
pids+=("$!")
mkdir -p "$work/node_flush"
node "$here/busboy_server.js" $((node_port + 1)) "$work/node_flush" flush > "$work/node_flush.out" &
pids+=("$!")
for _ in $(seq 50); do
  grep -q listening "$work/node.out" && grep -q listening "$work/node_flush.out" && break
  sleep 0.1
done

start_host
idle=$(kib VmRSS)
post "$host_url" "$work/body64" > /dev/null
one=$(( $(kib VmHWM) - idle ))
python3 - "$work/body64" "$work/var/c/up/big.bin" <<'PY' || echo "warning: the stored file differs from the bytes sent"
import sys
body = open(sys.argv[1], "rb").read()
start = body.index(b"\r\n\r\n") + 4
sys.exit(open(sys.argv[2], "rb").read() != body[start:start + (64 << 20)])
PY

# Each post starts on a disk with nothing left to write back: the host flushes what it stores
# before it replies and Node does not, so Node's 64 MiB still to be written would be charged to
# whichever post came next. A new file: the file of the post before is removed first. Replacing
# a file: the file of the post before is still there, written back as a stored file is after a
# while. Neither the removal nor the flush is timed.
# Prints the medians of RUNS alternating posts: "host node node_flush" (the last is Node flushing
# each file before it answers, the same work as the host's).
# BODY (default body64) is what is posted; a new file's run removes every file stored before.
medians() {
  local replace=$1 body=${2:-$work/body64} host_times=() node_times=() flush_times=()
  for _ in $(seq "$runs"); do
    [[ "$replace" == 1 ]] || find "$work/var/c/up" -type f -delete
    sync -f "$work"
    host_times+=("$(post "$host_url" "$body")")
    [[ "$replace" == 1 ]] || find "$work/node" -type f -delete
    sync -f "$work"
    node_times+=("$(post "http://127.0.0.1:$node_port/" "$body")")
    [[ "$replace" == 1 ]] || find "$work/node_flush" -type f -delete
    sync -f "$work"
    flush_times+=("$(post "http://127.0.0.1:$((node_port + 1))/" "$body")")
  done
  echo "$(printf '%s\n' "${host_times[@]}" | median) $(printf '%s\n' "${node_times[@]}" | median)" \
    "$(printf '%s\n' "${flush_times[@]}" | median)"
}
read -r new_host new_node new_flush < <(medians 0)
read -r replace_host replace_node replace_flush < <(medians 1)
make_small_files 20 "$work/small20"
read -r small_host small_node small_flush < <(medians 0 "$work/small20")

start_host
idle=$(kib VmRSS)
posts=()
for i in $(seq 10); do
  curl -s -o /dev/null -H 'Content-Type: multipart/form-data; boundary=BenchBoundary' \
    -H "Expect:" -X POST -T "$work/body64" "$host_url" &
  posts+=("$!")
done
wait "${posts[@]}"
ten=$(( $(kib VmHWM) - idle ))

make_body $((1 << 30)) "$work/body1g"
start_host
idle=$(kib VmRSS)
giga=$(post "$host_url" "$work/body1g")
giga_reply=$(cat "$work/reply")
giga_rss=$(( $(kib VmHWM) - idle ))

for kind in new replace; do
  host_median=${kind}_host node_median=${kind}_node flush_median=${kind}_flush
  printf '64 MiB upload to disk, %-17s median of %d: mirelda-host %.3f s, node+busboy %.3f s (host is %.2fx)\n' \
    "$([[ $kind == new ]] && echo "new file," || echo "replacing a file,")" "$runs" \
    "${!host_median}" "${!node_median}" "$(echo "${!node_median} / ${!host_median}" | bc -l)"
  printf '  node+busboy flushing each file as the host does: %.3f s (host is %.2fx)\n' \
    "${!flush_median}" "$(echo "${!flush_median} / ${!host_median}" | bc -l)"
done
printf '20 files of 10,000 bytes in one form, median of %d: mirelda-host %.4f s, node+busboy %.4f s (host is %.2fx)\n' \
  "$runs" "$small_host" "$small_node" "$(echo "$small_node / $small_host" | bc -l)"
printf '  node+busboy flushing each file as the host does: %.4f s (host is %.2fx)\n' \
  "$small_flush" "$(echo "$small_flush / $small_host" | bc -l)"
printf 'host peak RSS above idle: one 64 MiB upload %d MiB, ten at once %d MiB\n' \
  $((one / 1024)) $((ten / 1024))
printf '1 GiB upload: %.2f s, reply "%s", peak RSS above idle %d MiB\n' "$giga" "$giga_reply" \
  $((giga_rss / 1024))
