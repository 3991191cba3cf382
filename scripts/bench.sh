#!/usr/bin/env bash
# Builds the benchmark (Release), makes the clinics it runs on, runs it once per size, each size
# in a process of its own so that peak memory belongs to one size, times start-up from outside
# the program (qarvel_startup on a headless X server), and prints the performance table (the
# Markdown of docs/performance.md).
#
#   QARVEL_BENCH_BUILD        build folder (default: build-bench/ beside src/)
#   QARVEL_BENCH_SIZES        patient records per clinic (default: "10000 100000 1000000")
#   QARVEL_BENCH_REPETITIONS  repetitions of every benchmark (default: 5)
#   QARVEL_BENCH_DISPLAY      the X display the start-up is timed on (default: a free-looking one
#                             from :60 to :89), for machines where several runs share the displays
#   QARVEL_BENCH_STARTUP=0    leaves the start-up from outside out
#   QARVEL_BENCH_SERVER_FILTER  a --benchmark_filter for the server's run (default: all of it)
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

"$root/scripts/deps.sh" --server
source "$root/scripts/ccache.sh"
if [ ! -f "$build/build.ninja" ]; then
  mkdir -p "$build"
  echo '*' >"$build/.gitignore" # a build folder inside the work tree is never committed
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQARVEL_BENCH=ON "${launcher[@]}" >/dev/null
fi
cmake --build "$build" -j "$(nproc)" --target qarvel_generate qarvel_bench qarvel_bench_server qarvel_startup qarvel

# Only the code that writes the files counts: the store's readers (the paged searches) change
# no byte of them.
stamp=$(ls "$root"/src/store/*.cpp "$root"/src/store/*.h | grep -v -e RecordSearch -e DateRows |
  xargs cat "$root"/bench/Generate.cpp "$root"/bench/Generate.h "$root"/src/pinyin/*.cpp \
    "$root"/src/formats/PrescriptionText.cpp | sha1sum | cut -c1-16)
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

# Start-up from outside: the real executable, copied beside each clinic's files (it finds its
# data beside itself), started on a headless X server and watched there. Once with the login
# password (to the login dialog, then the password typed and Return to the main window), once
# without one (straight to the main window, where a search
# of every record is then typed and timed to its first rows shown, and the tree is taken to its
# last record with End).
if [ "${QARVEL_BENCH_STARTUP:-1}" != 0 ]; then
  display=${QARVEL_BENCH_DISPLAY:-":$((60 + RANDOM % 30))"}
  Xvfb "$display" -screen 0 1600x1200x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  runtime=$(mktemp -d)
  trap 'kill "$xvfb" 2>/dev/null || true; rm -rf "$runtime"' EXIT
  for _ in $(seq 50); do
    DISPLAY=$display xdpyinfo >/dev/null 2>&1 && break
    sleep 0.1
  done
  for n in $sizes; do
    echo "Starting the program on $n records from outside..."
    cp "$build/qarvel" "$data/$n/qarvel"
    export DISPLAY=$display XDG_RUNTIME_DIR=$runtime
    "$build/bench/qarvel_startup" --program "$data/$n/qarvel" --window "登录" --password qarvel --login qarvel \
      >"$results/startup-$n-login.json"
    "$build/bench/qarvel_startup" --program "$data/$n/qarvel" --window "Qarvel V2.0" --password "" --search --scroll \
      >"$results/startup-$n-main.json"
    # On the 10th, 20th and 30th the program starts a backup, which is cut short when it is ended.
    rm -rf "$data/$n/数据库备份"
  done
fi

# The shared server's column: each clinic uploaded to a throw-away PostgreSQL cluster and the
# desk's actions timed there (set QARVEL_BENCH_SERVER=0 to leave it out).
if [ "${QARVEL_BENCH_SERVER:-1}" != 0 ]; then
  server_args=()
  [ -n "${QARVEL_BENCH_SERVER_FILTER:-}" ] && server_args=(--benchmark_filter="$QARVEL_BENCH_SERVER_FILTER")
  for n in $sizes; do
    echo "Benchmarking $n records on a server (log: $results/server-$n.txt)..."
    pg_virtualenv -t "$build/bench/qarvel_bench_server" --data "$data/$n" --benchmark_repetitions="$repetitions" \
      --benchmark_report_aggregates_only=true --benchmark_out="$results/server-$n.json" --benchmark_out_format=json \
      "${server_args[@]}" >"$results/server-$n.txt" 2>&1 ||
      echo "qarvel_bench_server failed at $n records; see $results/server-$n.txt" >&2
  done
fi

python3 "$root/bench/report.py" "$results" | tee "$results/report.md"
echo
echo "Results: $results"
