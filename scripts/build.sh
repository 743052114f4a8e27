#!/usr/bin/env bash
# build.sh [-q] TREE: configures and builds qlnsales into build/TREE, one tree per configuration:
#   demo    RelWithDebInfo, the program only
#   tests   RelWithDebInfo with the test suite; warnings are errors when CI=true
#   asan    Debug with the test suite under the address and undefined-behaviour sanitizers
#   bench   Release with the benchmarks
#   fuzz    RelWithDebInfo, clang, the libFuzzer target only, under the address and
#           undefined-behaviour sanitizers
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
[ $# -eq 1 ] || { echo "usage: scripts/build.sh [-q] demo|tests|asan|bench|fuzz" >&2; exit 2; }
tree=$1

ci_werror=OFF
[ "${CI:-}" = true ] && ci_werror=ON

targets=()
case $tree in
  demo) options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DQLNSALES_TESTS=OFF -DQLNSALES_BENCH=OFF
    -DQLNSALES_WERROR=OFF -DQLNSALES_SANITIZE=OFF -DQLNSALES_FUZZ=OFF) ;;
  tests) options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DQLNSALES_TESTS=ON -DQLNSALES_BENCH=OFF
    -DQLNSALES_WERROR=$ci_werror -DQLNSALES_SANITIZE=OFF -DQLNSALES_FUZZ=OFF) ;;
  asan) options=(-DCMAKE_BUILD_TYPE=Debug -DQLNSALES_TESTS=ON -DQLNSALES_BENCH=OFF
    -DQLNSALES_WERROR=ON -DQLNSALES_SANITIZE=ON -DQLNSALES_FUZZ=OFF) ;;
  bench) options=(-DCMAKE_BUILD_TYPE=Release -DQLNSALES_TESTS=OFF -DQLNSALES_BENCH=ON
    -DQLNSALES_WERROR=OFF -DQLNSALES_SANITIZE=OFF -DQLNSALES_FUZZ=OFF) ;;
  # libFuzzer comes with clang, so this tree alone is built with it (the compiler is fixed when
  # the tree is first configured, and given again on every run like the rest).
  fuzz) options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-14
    -DQLNSALES_TESTS=OFF -DQLNSALES_BENCH=OFF -DQLNSALES_WERROR=ON -DQLNSALES_SANITIZE=ON
    -DQLNSALES_FUZZ=ON)
    targets=(--target qlnsales_fuzz) ;;
  *) echo "scripts/build.sh: unknown tree '$tree' (demo, tests, asan, bench or fuzz)" >&2; exit 2 ;;
esac

dir=build/$tree
mkdir -p "$dir"
# The machine has two cores; builds never run side by side.
build() {
  cmake -S . -B "$dir" -G Ninja "${options[@]}" >/dev/null
  cmake --build "$dir" -j 2 "${targets[@]}"
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
