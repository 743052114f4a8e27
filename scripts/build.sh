#!/usr/bin/env bash
# build.sh [-q] TREE: configures and builds qlnsales into build/TREE, one tree per configuration:
#   demo    RelWithDebInfo, the program only
#   tests   RelWithDebInfo with the test suite; warnings are errors when CI=true
#   asan    Debug with the test suite under the address and undefined-behaviour sanitizers
#   bench   Release with the benchmarks
# CMake keeps options in its cache, so every option is passed on every run: a tree can never be
# left in another tree's configuration. With -q the output goes to build/TREE/build.log and is
# shown only when the build fails.
set -euo pipefail
cd "$(dirname "$0")/.."

quiet=false
if [ "${1:-}" = -q ]; then
  quiet=true
  shift
fi
[ $# -eq 1 ] || { echo "usage: scripts/build.sh [-q] demo|tests|asan|bench" >&2; exit 2; }
tree=$1

ci_werror=OFF
[ "${CI:-}" = true ] && ci_werror=ON

case $tree in
  demo) options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DQLNSALES_TESTS=OFF -DQLNSALES_BENCH=OFF
    -DQLNSALES_WERROR=OFF -DQLNSALES_SANITIZE=OFF) ;;
  tests) options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DQLNSALES_TESTS=ON -DQLNSALES_BENCH=OFF
    -DQLNSALES_WERROR=$ci_werror -DQLNSALES_SANITIZE=OFF) ;;
  asan) options=(-DCMAKE_BUILD_TYPE=Debug -DQLNSALES_TESTS=ON -DQLNSALES_BENCH=OFF
    -DQLNSALES_WERROR=ON -DQLNSALES_SANITIZE=ON) ;;
  bench) options=(-DCMAKE_BUILD_TYPE=Release -DQLNSALES_TESTS=OFF -DQLNSALES_BENCH=ON
    -DQLNSALES_WERROR=OFF -DQLNSALES_SANITIZE=OFF) ;;
  *) echo "scripts/build.sh: unknown tree '$tree' (demo, tests, asan or bench)" >&2; exit 2 ;;
esac

dir=build/$tree
mkdir -p "$dir"
# The machine has two cores; builds never run side by side.
build() {
  cmake -S . -B "$dir" -G Ninja "${options[@]}" >/dev/null
  cmake --build "$dir" -j 2
}
if $quiet; then
  if ! build >"$dir/build.log" 2>&1; then
    cat "$dir/build.log" >&2
    echo "Build of $dir failed." >&2
    exit 1
  fi
else
  build
fi
