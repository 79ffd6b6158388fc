#!/usr/bin/env bash
# Installs the build into a scratch root and runs it from there: the installed tools find their
# libraries without the build folder, register the installed components, and serve the installed
# demo site; a program built against the installed package (CMake and pkg-config) runs.
set -euo pipefail

build=$(cd "$1" && pwd)
scratch=$(mktemp -d)
host_pid=
cleanup() {
  [[ -n "$host_pid" ]] && kill "$host_pid" 2>/dev/null && wait "$host_pid" 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR="$scratch/root" cmake --install "$build" >/dev/null
prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
root="$scratch/root$prefix"
for f in bin/mirelda-host bin/mirelda-regsvr lib/mirelda/libmirelda.so lib/mirelda/libmirelda-data.so \
  lib/mirelda/libmirelda-automation.so.1 include/mirelda/variant.h include/mirelda/version.h \
  lib/cmake/Mirelda/MireldaConfig.cmake lib/pkgconfig/mirelda.pc share/man/man1/mirelda-host.1 \
  share/man/man1/mirelda-regsvr.1 share/mirelda/site/index.asp share/mirelda/examples/host.conf; do
  [[ -e "$root/$f" ]] || fail "the install tree lacks $f"
done

# Nothing may lead back into the build folder: no RUNPATH, no library path.
unset LD_LIBRARY_PATH
for f in "$root"/bin/* "$root"/lib/mirelda/*.so.*; do
  if readelf -d "$f" | grep -q "$build"; then fail "$f names the build folder"; fi
done
version=$("$root/bin/mirelda-host" --version)
[[ "$version" == "mirelda-host "[0-9]* ]] || fail "--version printed \"$version\""

export MIRELDA_REGISTRY="$scratch/var/registry"
for library in libmirelda.so libmirelda-data.so; do
  "$root/bin/mirelda-regsvr" "$root/lib/mirelda/$library" >/dev/null
done
grep -q "$root/lib/mirelda/libmirelda.so" "$MIRELDA_REGISTRY" || fail "registry lacks the library"
if grep -q "$build" "$MIRELDA_REGISTRY"; then fail "the registry names the build folder"; fi

cat > "$scratch/host.conf" <<CONF
site = $root/share/mirelda/site
data = $scratch/var/data
registry = $MIRELDA_REGISTRY
listen = 127.0.0.1:0
CONF
"$root/bin/mirelda-host" --config "$scratch/host.conf" > "$scratch/host.out" 2> "$scratch/host.err" &
host_pid=$!
for _ in $(seq 100); do
  grep -q "serving" "$scratch/host.out" 2>/dev/null && break
  kill -0 "$host_pid" 2>/dev/null || fail "the host stopped: $(cat "$scratch/host.err")"
  sleep 0.1
done
url=$(sed -n 's/.* at \(http:[^ ]*\)$/\1/p' "$scratch/host.out")
[[ -n "$url" ]] || fail "the host did not say where it serves"
page=$(curl -sf "${url}install.asp" | iconv -f GBK -t UTF-8)
[[ "$page" == *'class="message ok"'* ]] || fail "the installed site did not install: $page"
# The components came from the install tree.
grep -q "$root/lib/mirelda/libmirelda.so" "/proc/$host_pid/maps" || fail "components not loaded"
if grep -q "$build/lib" "/proc/$host_pid/maps"; then fail "a library came from the build folder"; fi

# A program of a user's own, built against the installed package both ways (a sanitizer
# build's runtime comes with its libraries, not first in the program).
mkdir -p "$scratch/user"
cat > "$scratch/user/main.cpp" <<'CPP'
#include <iostream>
#include "mirelda/variant.h"
#include "mirelda/version.h"
int main() {
  mirelda::Variant v(int32_t{41});
  std::cout << MIRELDA_VERSION << " " << static_cast<int>(v.type()) << "\n";
}
CPP
cat > "$scratch/user/CMakeLists.txt" <<'CML'
cmake_minimum_required(VERSION 3.25)
project(user CXX)
set(CMAKE_CXX_STANDARD 20)
find_package(Mirelda 1 REQUIRED)
add_executable(user main.cpp)
target_link_libraries(user PRIVATE Mirelda::automation)
CML
cmake -S "$scratch/user" -B "$scratch/user/build" -DCMAKE_PREFIX_PATH="$root" >/dev/null
cmake --build "$scratch/user/build" >/dev/null
ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0 "$scratch/user/build/user" >/dev/null || fail "the CMake-built program did not run"
flags=$(PKG_CONFIG_PATH="$root/lib/pkgconfig" PKG_CONFIG_SYSROOT_DIR="$scratch/root" \
  pkg-config --cflags --libs mirelda)
[[ "$flags" == *-lmirelda-automation* ]] || fail "pkg-config gave \"$flags\""
echo "install tree at $root serves $url"
