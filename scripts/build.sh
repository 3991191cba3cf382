#!/usr/bin/env bash
# Configures (once) and builds the project in build/. Extra arguments go to the build tool.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
launcher=()
if command -v ccache >/dev/null 2>&1; then
  # Paths relative to the tree let several checkouts share one cache.
  export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
fi
cmake --build "$build" "$@"
