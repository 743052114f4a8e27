#!/usr/bin/env bash
# Installs the Debian packages qlnsales builds and tests with. Quiet when all are present.
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config libsqlite3-dev libpq-dev postgresql
  nlohmann-json3-dev libcli11-dev libfmt-dev libhowardhinnant-date-dev
  libgtest-dev libgmock-dev clang-14 libclang-rt-14-dev)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
((${#missing[@]} == 0)) && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
