#!/usr/bin/env bash
# Paired runs (bench/time_runs: interleaved, medians) for what 1.1.0 adds,
# in a tmpfs folder, on random images:
#   hex        pelkaforge-image reading the image's Intel HEX file (made by
#              objcopy at 0x08000000), against objcopy -I ihex -O binary
#              --gap-fill 0xFF followed by pelkaforge-image on the .bin,
#              the two steps a build took before (run by one sh -c);
#   digests    pelkaforge-image --header with --crc32 --sha256, against the
#              same without them;
#   previous   this release's Pelkaforge and pelkaforge-image on a raw
#              image against 1.0.0's (scripts/previous-release), same
#              arguments.
# Each ratio is the first's time over the second's (below 1, the first is
# faster); the peak resident memory is the first's, in KiB.
#
#   bench/release.sh
#   RUNS=9 SIZES="64K 16M" BENCH_DIR=/dev/shm/x bench/release.sh
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-11}
small_runs=${SMALL_RUNS:-201} # below 1 MiB, where a run takes milliseconds
sizes=${SIZES:-"4K 64K 16M"}
dir=${BENCH_DIR:-/dev/shm/pelkaforge-release-bench}
build=$PWD/build/bench
previous=$(scripts/previous-release)
[[ -n $previous ]] || { echo "bench/release.sh needs the 1.0.0 commit" >&2; exit 1; }
cmake --workflow --preset bench >/dev/null

rm -rf "$dir"
mkdir -p "$dir"
trap 'rm -rf "$dir"' EXIT
cd "$dir"
pair() { "$build/bench/time_runs" "$@"; }
step=$build/pelkaforge-image

printf '%6s %5s  %-9s %10s %10s %6s %8s\n' image runs pair first_s second_s ratio rss_KiB
report() { # SIZE RUNS NAME "a b ratio kib_a kib_b"
  read -r a b ratio kib _ <<<"$4"
  printf '%6s %5d  %-9s %10.6f %10.6f %6.2f %8d\n' "$1" "$2" "$3" "$a" "$b" "$ratio" "$kib"
}
for size in $sizes; do
  bytes=$(numfmt --from=iec "$size")
  n=$runs
  ((bytes >= 1 << 20)) || n=$small_runs
  head -c "$bytes" /dev/urandom >image.bin
  objcopy -I binary -O ihex --change-addresses 0x08000000 image.bin image.hex \
    2>/dev/null
  # The named form, which needs no warning of its count.
  named=(--name image --header image.h)
  report "$size" "$n" hex "$(pair "$n" /dev/null "$step" "${named[@]}" image.hex out.c -- \
    /dev/null sh -c 'objcopy -I ihex -O binary --gap-fill 0xFF image.hex two.bin &&
      "$0" --name image --header image.h two.bin out.c 2>/dev/null' "$step")"
  report "$size" "$n" digests "$(pair "$n" /dev/null "$step" "${named[@]}" --crc32 --sha256 \
    image.bin out.c -- /dev/null "$step" "${named[@]}" image.bin out.c)"
  report "$size" "$n" previous "$(pair "$n" /dev/null "$build/Pelkaforge" image.bin -- \
    /dev/null "$previous/Pelkaforge" image.bin)"
  report "$size" "$n" prev-step "$(pair "$n" /dev/null "$step" image.bin out.c -- \
    /dev/null "$previous/pelkaforge-image" image.bin out.c 2>/dev/null)"
  rm -f image.* two.bin out.c SecondaryMicroImage.c
done
echo
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //')"
