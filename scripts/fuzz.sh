#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each one for a while on its
# corpus (default 60 seconds each). Any crash, sanitizer finding, leak or hang fails the run.
#
#   scripts/fuzz.sh [seconds] [target...]
#
# New inputs that reach new code go to build-fuzz/corpus/<target>/, never into the checked-in
# seeds; copy one over by hand when it is worth keeping.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
build="$root/build-fuzz"

"$root/scripts/deps.sh" --fuzz

source "$root/scripts/ccache.sh"
if [ ! -f "$build/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQARVEL_FUZZ=ON -DQARVEL_TESTS=OFF "${launcher[@]}" >/dev/null
fi

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in "$root"/fuzz/fuzz_*.cpp; do
    targets+=("$(basename "$source" .cpp)")
  done
fi
cmake --build "$build" --target "${targets[@]}"

export ASAN_OPTIONS=${ASAN_OPTIONS:-halt_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
export QT_LOGGING_RULES="qarvel.*=false"
failed=()
for target in "${targets[@]}"; do
  name=${target#fuzz_}
  seeds="$root/fuzz/corpus/$name"
  found="$build/corpus/$name"
  mkdir -p "$found" "$build/crashes/$name"
  options=(-max_total_time="$seconds" -timeout=30 -rss_limit_mb=4096 -print_final_stats=1
           -artifact_prefix="$build/crashes/$name/")
  [ -f "$root/fuzz/$name.dict" ] && options+=(-dict="$root/fuzz/$name.dict")
  echo "== $target: ${seconds}s"
  if ! "$build/fuzz/$target" "${options[@]}" "$found" "$seeds" >"$build/$target.log" 2>&1; then
    tail -n 60 "$build/$target.log"
    failed+=("$target")
  else
    grep -E '^(#[0-9]+.*DONE|stat::number_of_executed_units|stat::peak_rss_mb)' "$build/$target.log" || true
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "Fuzzing found problems in: ${failed[*]} (inputs in $build/crashes/)" >&2
  exit 1
fi
echo "Fuzzing: ${#targets[@]} targets ran ${seconds}s each without a finding."
