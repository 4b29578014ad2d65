#!/usr/bin/env bash
# Runs the system's main job on the embedded default database.
#   scripts/run.sh [vantor arguments...]   (scripts/run.sh --help lists them)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
scripts/setup.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j "$(nproc)" --target vantor >/dev/null
exec build/release/bin/vantor "$@"
