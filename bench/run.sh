#!/usr/bin/env bash
# Builds the bench preset, runs the block-formatting benchmark, then times
# whole runs of the tool on random images in a tmpfs directory, each paired
# with a reference run (time_runs: interleaved, medians):
#   rw_floor  reads the image in 64 KiB reads and writes the output's number
#             of bytes of ready-made text between them: the least any
#             conversion does;
#   w_floor   writes a file of the output's size in 1 MiB calls;
#   xxd       `xxd -i`, at the small sizes and at COMPARE;
#   printf    a converter with one fprintf per byte, at COMPARE;
#   step      pelkaforge-image, the build step, on the same image (this
#             ratio is the step's time over the tool's: 1 is as fast).
# Every other ratio is the tool's time over the other's: below 1 the tool
# wins.
# Prints medians, ratios and the tool's peak resident memory.
#
#   bench/run.sh                           sizes 4K 32K 1M 16M 64M 256M
#   RUNS=9 SIZES="4K 64M" BENCH_DIR=/dev/shm/x bench/run.sh
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-7}               # for images of 1 MiB and more
small_runs=${SMALL_RUNS:-301} # for smaller ones, which take about 1 ms
sizes=${SIZES:-"4K 32K 1M 16M 64M 256M"}
compare=${COMPARE:-64M} # xxd and printf are slow: compared at this size
dir=${BENCH_DIR:-/dev/shm/pelkaforge-bench}
build=$PWD/build/bench

for tool in xxd numfmt; do
  command -v "$tool" >/dev/null ||
    { echo "bench/run.sh needs $tool (apt-get install xxd coreutils)" >&2; exit 1; }
done

cmake --workflow --preset bench >/dev/null
echo "== block formatting"
"$build/bench/format_benchmark" --benchmark_min_time=0.5 \
  --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

rm -rf "$dir"
mkdir -p "$dir"
trap 'rm -rf "$dir"' EXIT
cd "$dir"

# time_runs RUNS OUT_A A... -- OUT_B B...: "median_a median_b ratio kib_a kib_b"
pair() { "$build/bench/time_runs" "$@"; }
field() { cut -d' ' -f"$1" <<<"$2"; }

printf '\n== whole runs in %s (medians; ratios are medians of paired runs)\n' "$dir"
printf '%6s %5s %10s %10s %8s %10s %8s %8s %8s %9s %8s\n' image runs tool_s \
  rw_floor_s tool/rw w_floor_s tool/w tool/xxd tool/prtf step/tool rss_KiB
for size in $sizes; do
  bytes=$(numfmt --from=iec "$size")
  head -c "$bytes" /dev/urandom >image.bin
  "$build/Pelkaforge" image.bin
  output=$(stat -c %s SecondaryMicroImage.c)
  n=$runs
  ((bytes >= 1 << 20)) || n=$small_runs
  tool=("$build/Pelkaforge" image.bin)
  rw=$(pair "$n" /dev/null "${tool[@]}" -- /dev/null \
    "$build/bench/read_write_floor" image.bin "$output" floor.out)
  w=$(pair "$n" /dev/null "${tool[@]}" -- /dev/null \
    "$build/bench/write_floor" "$output" floor.out)
  # From 64 KiB on, the step warns that the count outgrows its tUBYTE.
  step=$(pair "$n" /dev/null "$build/pelkaforge-image" image.bin step.c -- \
    /dev/null "${tool[@]}" 2>/dev/null)
  xxd=- printf=-
  if ((bytes < 1 << 20)) || [[ $size == "$compare" ]]; then
    xxd=$(field 3 "$(pair "$n" /dev/null "${tool[@]}" -- xxd.c xxd -i image.bin)")
  fi
  if [[ $size == "$compare" ]]; then
    printf=$(field 3 "$(pair "$n" /dev/null "${tool[@]}" -- /dev/null \
      "$build/bench/printf_reference" image.bin)")
  fi
  printf '%6s %5d %10.6f %10.6f %8.2f %10.6f %8.2f %8s %8s %9.2f %8d\n' \
    "$size" "$n" "$(field 1 "$rw")" "$(field 2 "$rw")" "$(field 3 "$rw")" \
    "$(field 2 "$w")" "$(field 3 "$w")" "$xxd" "$printf" "$(field 3 "$step")" \
    "$(field 4 "$rw")"
  rm -f image.bin SecondaryMicroImage.c floor.out xxd.c step.c
done
echo
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //')"
