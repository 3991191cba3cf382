#!/usr/bin/env bash
# Configures (once) and builds the project in build/. Extra arguments go to the build tool.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build"
source "$root/scripts/ccache.sh"
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
fi
cmake --build "$build" "$@"
