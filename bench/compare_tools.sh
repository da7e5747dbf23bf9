#!/usr/bin/env bash
# Still capture to a file, side by side with other tools, on one private X server (Xvfb,
# 1920 x 1080, 24 bits) showing a made-up desktop full-screen: a fractal wallpaper, two windows
# with text, a panel. Each tool writes the whole screen as PNG, as JPEG at its highest quality and
# (ImageMagick's import) as GIF; every command runs RUNS times (default 10) and the median wall
# time and the file size are printed. A tool's time includes its start and its own screen grab.
#
# Then, when the build holds bench/writer_bench, Kadrel's writers write the same pixels (read
# from the picture the screen shows, so the grab is left out) with the same number of
# repetitions, and the ratios to scrot are printed.
#
# Usage: bench/compare_tools.sh [build-dir]     (build-dir defaults to build/ in the source tree)
# Needs: xvfb-run, feh, xdotool, scrot, maim, ImageMagick (bash scripts/setup installs them).
set -euo pipefail

source_dir="$(cd "$(dirname "$0")/.." && pwd)"
runs="${RUNS:-10}"

if [ "${1:-}" != "--on-display" ]; then
  for tool in xvfb-run feh xdotool scrot maim import convert; do
    command -v "$tool" >/dev/null || { echo "compare_tools.sh: $tool is missing (bash scripts/setup)" >&2; exit 1; }
  done
  exec xvfb-run -a -s "-screen 0 1920x1080x24" "$0" --on-display "${1:-$source_dir/build}"
fi
build_dir="$2"

work="$(mktemp -d)"
feh_pid=""
cleanup() {
  if [ -n "$feh_pid" ]; then kill "$feh_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# --- The screen -------------------------------------------------------------------------------
picture="$work/screen.png"
text_lines() { for i in $(seq 1 "$1"); do printf '%s\n' "${2//@/$i}"; done; }
convert -size 1920x1080 -seed 7 plasma:fractal -blur 0x2 -depth 8 \
  -fill '#f0f0f0' -stroke '#808080' -draw 'rectangle 120,100 1100,760' \
  -fill '#2b2b2b' -draw 'rectangle 1180,220 1820,980' \
  -stroke none -fill '#3c6eb4' -draw 'rectangle 120,100 1100,130' -draw 'rectangle 1180,220 1820,250' \
  -fill '#202020' -draw 'rectangle 0,1040 1920,1080' \
  -fill black -pointsize 18 \
  -annotate +140+170 "$(text_lines 24 'Line @: The quick brown fox jumps over the lazy dog 0123456789 (){}[]')" \
  -fill '#d0d0d0' -pointsize 16 \
  -annotate +1200+280 "$(text_lines 34 '@  int main(int argc, char** argv) { return run(argc, argv); }')" \
  -fill white -pointsize 20 -annotate +20+1068 'Activities    Files    Terminal             12:34' \
  "$picture"

# A window of its own, not the root window: the server repaints a window, not a root drawing.
feh -x --geometry 1920x1080+0+0 "$picture" >/dev/null 2>&1 &
feh_pid=$!
xdotool search --sync --onlyvisible --class feh >/dev/null
sleep 1
scrot -o "$work/check.png"
if [ "$(compare -metric AE "$picture" "$work/check.png" null: 2>&1 || true)" != "0" ]; then
  echo "compare_tools.sh: warning: the screen does not show the picture exactly" >&2
fi

# --- Timing -----------------------------------------------------------------------------------
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# row <format> <label> <output file> <command...>: runs the command RUNS times, prints one row.
row() {
  local format="$1" label="$2" out="$3"
  shift 3
  local times=() start end
  for _ in $(seq "$runs"); do
    rm -f "$out"
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s%N)
    times+=("$(( (end - start) / 1000 ))")
  done
  local ms
  ms=$(printf '%s\n' "${times[@]}" | median | awk '{ printf "%.1f", $1 / 1000 }')
  printf '%-5s %-34s %9s ms %10s bytes\n' "$format" "$label" "$ms" "$(stat -c %s "$out")"
  printf '%s|%s|%s|%s\n' "$format" "$label" "$ms" "$(stat -c %s "$out")" >>"$work/rows.txt"
}

echo "Whole 1920x1080 screen to a file, median of $runs runs"
row PNG "scrot (default, -q 75)" "$work/s.png" scrot -o "$work/s.png"
row PNG "maim (default)" "$work/m.png" maim "$work/m.png"
row JPEG "scrot -q 100" "$work/s.jpg" scrot -o -q 100 "$work/s.jpg"
row JPEG "maim -m 10" "$work/m.jpg" maim -m 10 "$work/m.jpg"
row GIF "import -window root" "$work/i.gif" import -window root "$work/i.gif"

# --- Kadrel's capture-to-file path ------------------------------------------------------------
# The save commands' path in one process: grab (shared memory), scale, write, to files on disk.
capture="$build_dir/bench/capture_bench"
if [ -x "$capture" ]; then
  mkdir -p "$work/capture"
  KADREL_BENCH_DIR="$work/capture" "$capture" --benchmark_repetitions="$runs" \
    --benchmark_report_aggregates_only=true --benchmark_format=csv 2>/dev/null |
    awk -F, '/_median"/ { gsub(/"/, "", $1); sub(/\/real_time_median/, "", $1); print $1 "," $3 }' >"$work/capture.csv"
  for f in jpeg:JPEG:capture.jpg bmp:BMP:capture.bmp gif:GIF:capture.gif png:PNG:capture.png; do
    IFS=: read -r name format file <<<"$f"
    ms=$(awk -F, -v n="captureToFile/$name" '$1 == n { printf "%.1f", $2 }' "$work/capture.csv")
    printf '%-5s %-34s %9s ms %10s bytes\n' "$format" "kadrel capture to file" "$ms" "$(stat -c %s "$work/capture/$file")"
    echo "$format,kadrel capture to file,$ms,$(stat -c %s "$work/capture/$file")" >>"$work/capture_rows.csv"
  done
  fastest() { awk -F'|' -v f="$1" '$1 == f && (best == "" || $3 < best) { best = $3; label = $2; size = $4 }
    END { print best "|" label "|" size }' "$work/rows.txt"; }
  tools_fastest=$(awk -F'|' '(best == "" || $3 < best) { best = $3 } END { print best }' "$work/rows.txt")
  echo "Capture to file, Kadrel over the fastest tool of the format (time, size)"
  while IFS=, read -r format _ ms bytes; do
    if [ "$format" = BMP ]; then
      awk -v t="$ms" -v f="$tools_fastest" 'BEGIN { printf "BMP   time %.2f of the fastest tool of any format\n", t / f }'
    else
      IFS='|' read -r best label size <<<"$(fastest "$format")"
      awk -v t="$ms" -v b="$bytes" -v ft="$best" -v fs="$size" -v l="$label" -v f="$format" \
        'BEGIN { printf "%-5s time %.2f  size %.3f  (over %s)\n", f, t / ft, b / fs, l }'
    fi
  done <"$work/capture_rows.csv"
fi


# --- Kadrel's writers on the same pixels (no grab, no process start) ---------------------------
bench="$build_dir/bench/writer_bench"
if [ ! -x "$bench" ]; then
  echo "(no $bench: cmake --build $build_dir --target writer_bench adds Kadrel's writers)"
  exit 0
fi
mkdir "$work/kadrel"
KADREL_BENCH_PICTURE="$picture" KADREL_BENCH_DIR="$work/kadrel" "$bench" --benchmark_repetitions="$runs" \
  --benchmark_report_aggregates_only=true --benchmark_format=csv 2>/dev/null |
  awk -F, '/_median"/ { gsub(/"/, "", $1); sub(/\/real_time_median/, "", $1); print $1 "," $3 }' >"$work/medians.csv"
ours() { # <format> <label> <benchmark name> <file it wrote>
  local ms
  ms=$(awk -F, -v name="$3" '$1 == name { printf "%.1f", $2 }' "$work/medians.csv")
  printf '%-5s %-34s %9s ms %10s bytes\n' "$1" "$2" "$ms" "$(stat -c %s "$work/kadrel/$4")"
  printf '%s|%s|%s\n' "$3" "$ms" "$(stat -c %s "$work/kadrel/$4")" >>"$work/ours.txt"
}
ours PNG "kadrel writeimage (BMP, load, PNG)" writeimagePng shot.png
ours PNG "kadrel DIBtoPNG alone" convertToPng stage.png
ours JPEG "kadrel writeJpeg q100" writeJpegQuality100 q100.jpg
ours GIF "kadrel writeimage (BMP, load, GIF)" writeimageGif shot.gif
ours BMP "kadrel writeBmp" writeBmp24 frame.bmp

ratio() { # <benchmark name> <tool label>: time and size of ours over the tool's
  awk -F'|' -v name="$1" -v label="$2" 'FNR == NR { if ($1 == name) { t = $2; b = $3 } next }
    $2 == label { printf "%-22s time %.2f  size %.3f  (over %s)\n", name, t / $3, b / $4, label }' \
    "$work/ours.txt" "$work/rows.txt"
}
echo "Ratios, Kadrel over the tool (below 1: faster or smaller)"
ratio writeimagePng "scrot (default, -q 75)"
ratio writeimagePng "maim (default)"
ratio writeJpegQuality100 "scrot -q 100"
ratio writeimageGif "import -window root"
