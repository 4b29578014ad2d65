#!/usr/bin/env bash
# Builds and runs every test: first a release build with warnings as errors, then the same
# suite under AddressSanitizer and UndefinedBehaviorSanitizer. In each build the tests that touch
# the product database run a second time (label postgresql) against a PostgreSQL cluster that
# this script starts for the run and removes at its end.
#   scripts/test.sh            both builds
#   scripts/test.sh --quick    the release build only
#   scripts/test.sh --help     this text
set -euo pipefail
cd "$(dirname "$0")/.."
quick=0
for arg in "$@"; do
  case "$arg" in
    --quick) quick=1 ;;
    -h|--help) sed -n '2,9s/^# \{0,1\}//p' "$0"; exit 0 ;;
    *) echo "test: unknown argument: $arg (scripts/test.sh --help)" >&2; exit 2 ;;
  esac
done
scripts/setup.sh run test
jobs=$(nproc)

# The throwaway cluster: initdb into a temporary folder, its socket in that folder (no port is
# taken, so runs of other users and checkouts do not meet), started by a user other than root
# when the tests run as root (the server refuses root), stopped and removed however the run ends.
pg_dir=""
pg_bin=""
pg_as=()
stop_cluster() {
  if [ -n "$pg_dir" ]; then
    if [ -f "$pg_dir/data/postmaster.pid" ]; then
      "${pg_as[@]}" "$pg_bin/pg_ctl" -D "$pg_dir/data" -m immediate -w stop >/dev/null 2>&1 || true
    fi
    rm -rf "$pg_dir"
  fi
}
trap stop_cluster EXIT
# An interrupted run ends through the EXIT trap too.
trap 'exit 130' INT
trap 'exit 143' TERM HUP
start_cluster() {
  pg_bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
  if [ -z "$pg_bin" ] || [ ! -x "$pg_bin/initdb" ]; then
    echo "test: PostgreSQL's server is not installed (scripts/setup.sh test)" >&2
    exit 1
  fi
  pg_dir=$(mktemp -d /tmp/vantor-pg-XXXXXX)
  if [ "$(id -u)" -eq 0 ]; then
    local user=postgres
    getent passwd "$user" >/dev/null || user=nobody
    chown "$user" "$pg_dir"
    pg_as=(runuser -u "$user" --)
  fi
  "${pg_as[@]}" "$pg_bin/initdb" -D "$pg_dir/data" -U vantor --auth=trust -E UTF8 --locale=C.UTF-8 --nosync \
    >"$pg_dir/initdb.log" 2>&1 || { cat "$pg_dir/initdb.log" >&2; exit 1; }
  "${pg_as[@]}" "$pg_bin/pg_ctl" -D "$pg_dir/data" -l "$pg_dir/server.log" -w -t 60 \
    -o "-k $pg_dir -c listen_addresses='' -c max_connections=300 -c fsync=off -c synchronous_commit=off -c full_page_writes=off" \
    start >/dev/null || { cat "$pg_dir/server.log" >&2; exit 1; }
  export PGHOST="$pg_dir" PGUSER=vantor PGDATABASE=postgres
  unset PGPORT PGPASSWORD PGSERVICE
}

run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -DVANTOR_WERROR=ON -DVANTOR_TESTS=ON "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure --no-tests=error -j "$jobs" --timeout 600 -LE postgresql
  # Every test of this pass runs: none may be skipped for want of the server.
  ctest --test-dir "$dir" --output-on-failure --no-tests=error -j "$jobs" --timeout 600 -L postgresql \
    | tee "$dir/postgresql-tests.log"
  if grep -q '\*\*\*Skipped\|\*\*\*Not Run' "$dir/postgresql-tests.log"; then
    echo "test: PostgreSQL tests were skipped" >&2
    exit 1
  fi
}

start_cluster
run_suite build/release -DCMAKE_BUILD_TYPE=Release
if ((!quick)); then
  # intercept_tls_get_addr=0: LeakSanitizer's walk of the dynamic TLS of dlopen'ed modules crashes
  # ("Tracer caught signal 11") once a process has loaded more of them than the initial thread
  # vector holds, as the image codecs' modules do; the static TLS is still scanned.
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1:intercept_tls_get_addr=0
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp"
  run_suite build/asan -DCMAKE_BUILD_TYPE=Debug -DVANTOR_SANITIZE=ON -DVANTOR_BENCH=OFF
fi
