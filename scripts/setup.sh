#!/usr/bin/env bash
# Installs what the build and the tests need, only when something is missing (Debian 12).
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config ccache git
  libgtest-dev libgmock-dev libbenchmark-dev
  libsqlite3-dev sqlite3
  gsoap libgsoap-dev libcurl4-openssl-dev openssl libssl-dev
  libxml2-dev libxslt1-dev
  libmagick++-dev libcairo2-dev libpango1.0-dev fonts-dejavu-core
  libpcre2-dev libboost-regex-dev libre2-dev
  clang libclang-rt-14-dev
  html2text w3m lynx
)
missing=()
for p in "${packages[@]}"; do
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
