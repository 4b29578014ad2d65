#!/usr/bin/env bash
# Builds the host program and runs it on the embedded default database.
#   scripts/run.sh [vantor arguments...]   (scripts/run.sh --help lists them)
# The build is quiet when it succeeds; when it fails, its output is shown and nothing runs.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
scripts/setup.sh run
build=build/release
mkdir -p "$build"
log="$build/run-build.log"
if [ ! -x "$build/bin/vantor" ]; then
  echo "run: building the program for the first time (a minute or more)..." >&2
fi
if ! { cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release &&
       cmake --build "$build" -j "$(nproc)" --target vantor; } >"$log" 2>&1; then
  cat "$log" >&2
  echo "run: the build failed (its output is above and in $log)" >&2
  exit 1
fi
exec "$build/bin/vantor" "$@"
