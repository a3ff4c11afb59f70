#!/usr/bin/env bash
# Builds the bench preset, runs the block-formatting benchmark, then times
# whole runs of the tool on random images in a tmpfs directory against the
# write floor (a file of the output's size written in 1 MiB calls, no
# formatting), `xxd -i` and a per-byte printf converter. Prints medians,
# ratios and peak resident memory.
#
#   bench/run.sh                                sizes 1, 16, 64, 256 MiB
#   RUNS=9 SIZES="64" BENCH_DIR=/dev/shm/x bench/run.sh
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-7}
sizes=${SIZES:-"1 16 64 256"}
compare_mib=${COMPARE_MIB:-64}  # xxd and printf are slow: compared at this size
dir=${BENCH_DIR:-/dev/shm/pelkaforge-bench}
build=$PWD/build/bench

for tool in xxd /usr/bin/time; do
  command -v "$tool" >/dev/null ||
    { echo "bench/run.sh needs $tool (apt-get install xxd time)" >&2; exit 1; }
done

cmake --workflow --preset bench >/dev/null
echo "== block formatting"
"$build/bench/format_benchmark" --benchmark_min_time=0.5 \
  --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

rm -rf "$dir"
mkdir -p "$dir"
trap 'rm -rf "$dir"' EXIT
cd "$dir"

# Appends one run's wall seconds to times_<name> and its peak RSS in KiB to
# rss_<name>. The run's output is removed before and after it, so that no run
# pays for another's files in memory.
run_once() {
  local name=$1 output=$2
  shift 2
  rm -f "$output"
  local start=$EPOCHREALTIME
  /usr/bin/time -f %M -o rss.txt "$@" >/dev/null
  local end=$EPOCHREALTIME
  awk -v a="$start" -v b="$end" 'BEGIN { print b - a }' >>"times_$name"
  tail -1 rss.txt >>"rss_$name"
  rm -f "$output"
}

median() { sort -g "$1" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
largest() { sort -g "$1" | tail -1; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

printf '\n== whole runs in %s, median of %d runs (tool and floor interleaved)\n' \
  "$dir" "$runs"
printf '%7s %9s %9s %9s %9s %9s %9s %9s\n' \
  image tool_s floor_s tool/flr image_MB/s rss_KiB xxd/tool printf/tool
for mib in $sizes; do
  rm -f times_* rss_*
  head -c $((mib << 20)) /dev/urandom >image.bin
  "$build/Pelkaforge" image.bin
  bytes=$(stat -c %s SecondaryMicroImage.c)
  for ((i = 0; i < runs; i++)); do
    run_once tool SecondaryMicroImage.c "$build/Pelkaforge" image.bin
    run_once floor floor.out "$build/bench/write_floor" "$bytes" floor.out
  done
  if ((mib == compare_mib)); then
    for ((i = 0; i < runs; i++)); do
      run_once xxd xxd.c sh -c 'xxd -i image.bin >xxd.c'
      run_once printf SecondaryMicroImage.c "$build/bench/printf_reference" image.bin
    done
  fi
  tool=$(median times_tool)
  floor=$(median times_floor)
  xxd=- printf=-
  if ((mib == compare_mib)); then
    xxd=$(ratio "$(median times_xxd)" "$tool")
    printf=$(ratio "$(median times_printf)" "$tool")
  fi
  printf '%5dMi %9.4f %9.4f %9s %9.1f %9d %9s %9s\n' "$mib" "$tool" "$floor" \
    "$(ratio "$tool" "$floor")" "$(awk -v b=$((mib << 20)) -v t="$tool" 'BEGIN { print b / t / 1e6 }')" \
    "$(largest rss_tool)" "$xxd" "$printf"
  rm -f image.bin
done
echo
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //')"
