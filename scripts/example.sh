#!/usr/bin/env bash
# example.sh BUILD_DIR: installs the tree built in BUILD_DIR under build/install, then builds the
# example host in examples/host against the installed package both ways (CMake's find_package
# and pkg-config) and runs each. A broken install, package or pkg-config file fails here.
set -euo pipefail
cd "$(dirname "$0")/.."
tree=${1:-build/tests}
prefix=$PWD/build/install
rm -rf "$prefix" build/example-cmake build/example-pc
cmake --install "$tree" --prefix "$prefix" >/dev/null

cmake -S examples/host -B build/example-cmake -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build build/example-cmake >/dev/null
echo "== example host (CMake package)"
build/example-cmake/host build/example-cmake/host.db

mkdir -p build/example-pc
# shellcheck disable=SC2046
c++ -o build/example-pc/host examples/host/host.cpp \
  $(PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --cflags --libs qlnsales)
echo "== example host (pkg-config)"
build/example-pc/host build/example-pc/host.db
