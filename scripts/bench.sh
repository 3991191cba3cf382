#!/usr/bin/env bash
# Builds the benchmark (Release), makes the clinics it runs on, runs it once per size, each size
# in a process of its own so that peak memory belongs to one size, and prints the performance
# table (the Markdown of docs/performance.md).
#
#   QARVEL_BENCH_BUILD        build folder (default: build-bench/ beside src/)
#   QARVEL_BENCH_SIZES        patient records per clinic (default: "10000 100000 1000000")
#   QARVEL_BENCH_REPETITIONS  repetitions of every benchmark (default: 5)
#
# Extra arguments go to every qarvel_bench run, e.g. --benchmark_filter=lookup.
#
# A clinic is generated once and kept in <build>/bench-data/<records>; it is made again when the
# generator or the code that writes the files (store, pinyin, stored prescription text) changes.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${QARVEL_BENCH_BUILD:-$root/build-bench}
sizes=${QARVEL_BENCH_SIZES:-"10000 100000 1000000"}
repetitions=${QARVEL_BENCH_REPETITIONS:-5}

"$root/scripts/deps.sh"
if [ ! -f "$build/build.ninja" ]; then
  mkdir -p "$build"
  echo '*' >"$build/.gitignore" # a build folder inside the work tree is never committed
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQARVEL_BENCH=ON >/dev/null
fi
cmake --build "$build" --target qarvel_generate qarvel_bench

stamp=$(cat "$root"/bench/Generate.cpp "$root"/bench/Generate.h "$root"/src/store/*.cpp "$root"/src/store/*.h \
  "$root"/src/pinyin/*.cpp "$root"/src/formats/PrescriptionText.cpp | sha1sum | cut -c1-16)
data=$build/bench-data
results=$build/bench-results/$(date +%Y%m%d-%H%M%S)
mkdir -p "$results"

for n in $sizes; do
  folder=$data/$n
  if [ "$(cat "$folder/stamp" 2>/dev/null)" != "$stamp" ]; then
    rm -rf "$folder"
    mkdir -p "$folder"
    echo "Generating a clinic of $n records..."
    "$build/bench/qarvel_generate" "$folder" "$n" | tee "$folder/generate.txt"
    echo "$stamp" >"$folder/stamp"
  fi
  cp "$folder/generate.txt" "$results/generate-$n.txt"
done

for n in $sizes; do
  echo "Benchmarking $n records (log: $results/$n.txt)..."
  QT_QPA_PLATFORM=offscreen "$build/bench/qarvel_bench" --size "$n" --data "$data/$n" \
    --repetitions "$repetitions" --memory_out "$results/$n.mem.json" \
    --benchmark_out="$results/$n.json" --benchmark_out_format=json "$@" >"$results/$n.txt" 2>&1 || {
    echo "qarvel_bench failed at $n records; see $results/$n.txt" >&2
    tail -20 "$results/$n.txt" >&2
    exit 1
  }
done

python3 "$root/bench/report.py" "$results" | tee "$results/report.md"
echo
echo "Results: $results"
