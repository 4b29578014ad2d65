#!/usr/bin/env bash
# Installs the Debian 12 packages of the named groups, only those that are missing.
#   scripts/setup.sh GROUP...      e.g. scripts/setup.sh run test
#   scripts/setup.sh --help        lists the groups
# Add a package to the group that needs it; a new purpose gets a group of its own.
set -euo pipefail

declare -A groups=(
  # Building the program and running it (scripts/run.sh).
  [run]="build-essential cmake ninja-build pkg-config ccache git
         libsqlite3-dev libpq-dev nlohmann-json3-dev
         gsoap libgsoap-dev libcurl4-openssl-dev zlib1g-dev openssl libssl-dev
         libxml2-dev libxslt1-dev
         libmagick++-dev libjpeg-dev libcairo2-dev libpango1.0-dev fonts-dejavu-core fonts-crosextra-carlito"
  # Building and running the tests (scripts/test.sh), on top of "run": the throwaway PostgreSQL
  # cluster of the tests that run against a shared database.
  [test]="libgtest-dev libgmock-dev libpcre2-dev postgresql"
  # The benchmarks' comparison engines and converters (bench/).
  [bench]="libpcre2-dev libboost-regex-dev libre2-dev html2text w3m lynx"
  # The libFuzzer targets (fuzz/): clang and its runtime.
  [fuzz]="clang libclang-rt-14-dev libpcre2-dev"
)
order=(run test bench fuzz)

usage() {
  echo "Usage: scripts/setup.sh GROUP..."
  echo "Installs the missing packages of the groups:"
  for g in "${order[@]}"; do echo "  $g: $(echo ${groups[$g]})"; done
}

if (($# == 0)); then usage >&2; exit 2; fi
wanted=()
for arg in "$@"; do
  case "$arg" in
    -h|--help) usage; exit 0 ;;
  esac
  if [[ -z "${groups[$arg]+set}" ]]; then
    echo "setup: unknown group: $arg" >&2
    usage >&2
    exit 2
  fi
  wanted+=(${groups[$arg]})
done

missing=()
for p in $(printf '%s\n' "${wanted[@]}" | sort -u); do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
