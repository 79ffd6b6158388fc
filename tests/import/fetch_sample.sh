#!/bin/sh
# Puts the Access sample the import tests read into the folder given: fruit.mdb from the npm
# package "mdb" 0.1.0 by Max Ogden (MIT licence, stated in its readme), which ships it as its
# own test file. The file is checked against the digest it had when the tests were written.
set -eu
dest="$1"
want=e62eac8a7d29062328484aa0477ab897f3e9fb3abbd4de26d2e7748a8e0bce79
if [ -f "$dest/fruit.mdb" ] && echo "$want  $dest/fruit.mdb" | sha256sum -c --status; then exit 0; fi
mkdir -p "$dest"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && npm pack --silent mdb@0.1.0 >/dev/null && tar xzf mdb-0.1.0.tgz package/test/fruit.mdb)
echo "$want  $work/package/test/fruit.mdb" | sha256sum -c --status
cp "$work/package/test/fruit.mdb" "$dest/fruit.mdb"
