#!/usr/bin/env bash
# The uncompressed AVI write against dd (conv=fdatasync) on the same volume, and the
# re-compression against the ffmpeg command line with the same encoder and its default options,
# on a 1920 x 1080, 16-bit file of 300 frames (about 1.2 GB). Prints ratios and peak memory.
# Usage: bench/run_avi.sh [build-dir] [codec ...]
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="${1:-$source_dir/build}"
shift || true
codecs=("${@:-mpeg4 mjpeg ffv1 libx264}")
read -r -a codecs <<< "${codecs[*]}"
bench="$build_dir/bench/avi_bench"
frames=300 width=1920 height=1080
work="$(mktemp -d "$build_dir/avi_bench.XXXXXX")"  # the volume the program would write to
trap 'rm -rf "$work"' EXIT

seconds() { python3 -c "import sys; print(float(sys.argv[2]) - float(sys.argv[1]))" "$1" "$2"; }
ratio() { python3 -c "import sys; print(f'{float(sys.argv[1]) / float(sys.argv[2]):.2f}')" "$1" "$2"; }

bytes=$((frames * width * height * 2))
start=$(date +%s.%N)
dd if=/dev/zero of="$work/dd.bin" bs=4M count=$((bytes / 4194304)) conv=fdatasync status=none
dd_mbs=$(python3 -c "import sys; print(f'{int(sys.argv[1]) / 4194304 * 4194304 / 1e6 / float(sys.argv[2]):.1f}')" \
    "$bytes" "$(seconds "$start" "$(date +%s.%N)")")
rm -f "$work/dd.bin"
line=$("$bench" --frames $frames --width $width --height $height --out "$work/raw.avi")
ours_mbs=$(sed -E 's/.*, ([0-9.]+) MB\/s/\1/' <<< "$line")
echo "dd: $dd_mbs MB/s"
echo "$line"
echo "write ratio (ours / dd): $(ratio "$ours_mbs" "$dd_mbs")"

for codec in "${codecs[@]}"; do
    out=$(/usr/bin/time -f "peak %M KB" "$bench" --frames $frames --width $width --height $height \
        --out "$work/ours.avi" --codec "$codec" 2>&1 | grep -E "recompress|peak")
    ours_fps=$(sed -nE 's/recompress: ([0-9.]+) frames\/s/\1/p' <<< "$out")
    peak=$(sed -nE 's/peak ([0-9]+) KB/\1/p' <<< "$out")
    start=$(date +%s.%N)
    /usr/bin/time -o "$work/ffmpeg.time" -f "%M" ffmpeg -v error -y -i "$work/raw.avi" -c:v "$codec" "$work/cli.avi"
    cli_fps=$(python3 -c "import sys; print(f'{int(sys.argv[1]) / float(sys.argv[2]):.1f}')" \
        "$frames" "$(seconds "$start" "$(date +%s.%N)")")
    echo "$codec: ours $ours_fps frames/s (peak $((peak / 1024)) MB), ffmpeg $cli_fps frames/s" \
         "(peak $(( $(cat "$work/ffmpeg.time") / 1024 )) MB), ratio $(ratio "$ours_fps" "$cli_fps")"
    rm -f "$work/ours.avi" "$work/cli.avi"
done
