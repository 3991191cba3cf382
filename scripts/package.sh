#!/usr/bin/env bash
# Installs what is missing, builds Qarvel to be installed under /usr (in build-package/) and
# makes the Debian package qarvel_<version>_<arch>.deb there. Prints the package's path last.
#
#   QARVEL_PACKAGE_BUILD  build folder (default: build-package/ beside src/)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QARVEL_PACKAGE_BUILD:-$root/build-package}

"$root/scripts/deps.sh" --package
if [ ! -f "$build/build.ninja" ]; then
  mkdir -p "$build"
  echo '*' >"$build/.gitignore" # a build folder inside the work tree is never committed
  # Debian's own compiler and linker flags: hardening (stack protector, fortified calls,
  # read-only relocations, immediate binding) as every package of the distribution has it.
  export DEB_BUILD_MAINT_OPTIONS=hardening=+all
  CXXFLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  LDFLAGS="$(dpkg-buildflags --get LDFLAGS)" \
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_INSTALL_PREFIX=/usr -DQARVEL_TESTS=OFF -DQARVEL_PACKAGE=ON >/dev/null
fi
cmake --build "$build"
rm -f "$build"/qarvel_*.deb
(cd "$build" && cpack -G DEB >cpack.log) || { cat "$build/cpack.log" >&2; exit 1; }
ls "$build"/qarvel_*.deb
