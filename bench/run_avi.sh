#!/usr/bin/env bash
# The uncompressed AVI write against dd (conv=fdatasync) on the same volume, and the
# re-compression against the ffmpeg command line with the same encoder and its default options,
# on a 1920 x 1080, 16-bit file of 300 frames (about 1.2 GB). Runs alternate, three of each;
# medians are compared. Prints ratios and peak memory (resident set of the whole process).
# Usage: bench/run_avi.sh [build-dir] [codec ...]
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="${1:-$source_dir/build}"
shift || true
codecs=("$@")
[ ${#codecs[@]} -gt 0 ] || codecs=(mpeg4 mjpeg ffv1 libx264)
bench="$build_dir/bench/avi_bench"
frames=300 width=1920 height=1080 runs=3
work="$(mktemp -d "$build_dir/avi_bench.XXXXXX")"  # the volume the program would write to
trap 'rm -rf "$work"' EXIT

now() { date +%s.%N; }
median() { python3 -c "import sys, statistics; print(f'{statistics.median(map(float, sys.argv[1:])):.1f}')" "$@"; }
ratio() { python3 -c "import sys; print(f'{float(sys.argv[1]) / float(sys.argv[2]):.2f}')" "$1" "$2"; }
rate() { python3 -c "import sys; print(float(sys.argv[1]) / (float(sys.argv[3]) - float(sys.argv[2])))" "$@"; }
field() { sed -nE "s/.*$1: ([0-9.]+) frames\/s.*/\1/p"; }

bytes=$((frames * width * height * 2 / 4194304 * 4194304))
dd_runs=() write_runs=()
for _ in $(seq $runs); do
    start=$(now)
    dd if=/dev/zero of="$work/dd.bin" bs=4M count=$((bytes / 4194304)) conv=fdatasync status=none
    dd_runs+=("$(rate "$((bytes / 1000000))" "$start" "$(now)")")
    rm -f "$work/dd.bin"
    # The writer never replaces a file: each run writes a new one, and the last stays for the codecs.
    rm -f "$work/raw.avi"
    line=$("$bench" --frames $frames --width $width --height $height --out "$work/raw.avi" 2>/dev/null)
    write_runs+=("$(sed -E 's/.*, ([0-9.]+) MB\/s/\1/' <<< "$line")")
done
dd_mbs=$(median "${dd_runs[@]}") ours_mbs=$(median "${write_runs[@]}")
echo "write: ours $ours_mbs MB/s (runs ${write_runs[*]}), dd $dd_mbs MB/s, ratio $(ratio "$ours_mbs" "$dd_mbs")"

for codec in "${codecs[@]}"; do
    ours=() cli=() peak=0 cli_peak=0
    for _ in $(seq $runs); do
        out=$(/usr/bin/time -f "peak %M" "$bench" --frames $frames --width $width --height $height \
            --out "$work/ours.avi" --codec "$codec" 2>&1)
        ours+=("$(field recompress <<< "$out")")
        peak=$(sed -nE 's/peak ([0-9]+)/\1/p' <<< "$out")
        start=$(now)
        # Our H.264 is 4:2:0 (playable everywhere); the command line would pick 4:4:4 on its own.
        extra=()
        [ "$codec" != libx264 ] || extra=(-pix_fmt yuv420p)
        /usr/bin/time -o "$work/cli.time" -f "%M" ffmpeg -v error -y -i "$work/raw.avi" -c:v "$codec" "${extra[@]}" \
            "$work/cli.avi"
        cli+=("$(rate $frames "$start" "$(now)")")
        cli_peak=$(cat "$work/cli.time")
        rm -f "$work/ours.avi" "$work/cli.avi"
    done
    o=$(median "${ours[@]}") c=$(median "${cli[@]}")
    echo "$codec: ours $o frames/s (peak $((peak / 1024)) MB), ffmpeg $c frames/s (peak $((cli_peak / 1024)) MB)," \
         "ratio $(ratio "$o" "$c")"
done
