#!/usr/bin/env bash
# Builds and runs every test: first a release build with warnings as errors, then the same
# suite under AddressSanitizer and UndefinedBehaviorSanitizer.
#   scripts/test.sh            both builds
#   scripts/test.sh --quick    the release build only
#   scripts/test.sh --help     this text
set -euo pipefail
cd "$(dirname "$0")/.."
quick=0
for arg in "$@"; do
  case "$arg" in
    --quick) quick=1 ;;
    -h|--help) sed -n '2,7s/^# \{0,1\}//p' "$0"; exit 0 ;;
    *) echo "test: unknown argument: $arg (scripts/test.sh --help)" >&2; exit 2 ;;
  esac
done
scripts/setup.sh run test
jobs=$(nproc)

run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -DVANTOR_WERROR=ON -DVANTOR_TESTS=ON "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure --no-tests=error -j "$jobs" --timeout 600
}

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
