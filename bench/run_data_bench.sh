#!/usr/bin/env bash
# Builds and runs the data access benchmark against a PostgreSQL server of its own (the same
# throwaway cluster the tests use), then stops the server. Arguments go to the benchmark
# (--benchmark_filter=Read, --benchmark_min_time=2, ...).
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=$(bash scripts/build | tail -n 1)
state="$PWD/$build_dir/bench/postgres"
bash tests/support/postgres_fixture.sh start "$state" >/dev/null
trap 'bash tests/support/postgres_fixture.sh stop "$state"' EXIT
# The Jet file lives in memory when it can, so that the insert figures compare the work of the
# layer rather than the disk's flushes.
[[ -d /dev/shm && -w /dev/shm ]] && export TMPDIR=/dev/shm
MIRELDA_POSTGRES_STATE="$state/server.env" "$build_dir/bench/data_bench" "$@"
