# Sourced by the build scripts with $root set: sets `launcher` to the CMake arguments that build
# through ccache when it is installed. Paths relative to the tree let several checkouts share
# one cache.
launcher=()
if command -v ccache >/dev/null 2>&1; then
  export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
