#!/usr/bin/env bash
# Video recording of the built program, driven by its keys on one private X server (Xvfb,
# 1920 x 1080, 24 bits) showing a busy picture full-screen, against ffmpeg on the same screen. The
# cases marked "quiet and busy" run twice: on the quiet disk, and while another process writes 3 GB
# to the same volume (dd conv=fsync, started a second before the recording); ffmpeg runs under both
# conditions too. The disk's own speed (dd of 1 GB, direct and through the page cache) is measured
# first, so that a slow disk can be told from a slow program. Frames are counted against the ticks
# due (seconds x rate, and the program's also by its own clock, as its keys may come late), and beside
# each count are the frames written again to keep the rate: ffmpeg's repeats, and the program's for
# ticks its timer missed (its kadrel.recording log), so that a count kept up by repeats shows as such.
#   1. whole screen at 100 %, RecordRate 30, 10 s, quiet and busy, against ffmpeg's x11grab writing
#      BMP files: frames, the AVI's rate, CPU time per frame (targets: >= 297 frames quiet; busy at
#      least ffmpeg's frames under the same writer and >= 285; CPU <= ffmpeg's);
#   2. whole screen, RecordRate 30, 60 s, against ffmpeg's x11grab writing BMP files for 60 s: frames
#      (target: >= ffmpeg's) and the program's peak memory (target: < the frame queue's budget + 150 MB);
#   3. an 800 x 600 frame at RecordRate 100 for 10 s, quiet and busy (target: >= 950 frames);
#   4. the assembly of 300 frames of 1920 x 1080 into the 16-bit AVI, from the OK of the stop box to
#      the codec dialog, against ffmpeg's rawvideo rgb555le on the same frame files (target: <= 0.75
#      of ffmpeg's time), and the program's peak memory during the assembly for 300 and 1,000 frames
#      (target: < 200 MB, the same for both).
# Usage: bench/run_record.sh [build-dir [case ...]]   Cases 1 to 4, all by default. Needs about 30 GB
# free on the build directory's volume.
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
if [ "${1:-}" != "--on-display" ]; then
  build_dir="${1:-$source_dir/build}"
  source "$source_dir/bench/common.sh"
  require_xvfb run_record.sh
  require_program run_record.sh "$build_dir/bin/kadrel" kadrel
  require_program run_record.sh "$build_dir/bin/libkadrel_avi.so" kadrel_avi
  for tool in feh xdotool ffmpeg ffprobe convert; do
    command -v "$tool" >/dev/null || { echo "run_record.sh: $tool is missing (bash scripts/setup)" >&2; exit 1; }
  done
  shift || true
  exec xvfb-run -a -s "-screen 0 1920x1080x24 -nolisten tcp" "$0" --on-display "$build_dir" "$@"
fi
build_dir="$2"
shift 2
cases=" ${*:-1 2 3 4} "
wanted() { [[ "$cases" == *" $1 "* ]]; }

work="$(mktemp -d "$build_dir/record_bench.XXXXXX")"  # the volume the program would write to
feh_pid="" kadrel_pid="" dd_pid=""
cleanup() {
  for pid in "$kadrel_pid" "$feh_pid" "$dd_pid"; do [ -z "$pid" ] || kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
echo "load before: $(uptime | sed 's/.*load average: //')"

convert -size 1920x1080 -seed 7 plasma:fractal -blur 0x2 -depth 8 \
  -fill '#f0f0f0' -draw 'rectangle 120,100 1100,760' -fill black -pointsize 18 \
  -annotate +140+170 "$(for i in $(seq 24); do echo "Line $i: The quick brown fox jumps over the lazy dog 0123456789"; done)" \
  "$work/screen.png"
feh -x --geometry 1920x1080+0+0 "$work/screen.png" >/dev/null 2>&1 &
feh_pid=$!
xdotool search --sync --onlyvisible --class feh >/dev/null

now() { date +%s.%N; }
calc() { python3 -c "print($1)"; }
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
hz=$(getconf CLK_TCK)
# wait_window <exact title>: until a visible window has that title.
wait_window() {
  until xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; do sleep 0.02; done
}
frames_in() { find "$1" -maxdepth 1 -name 'kadrel00AVISAVE*.bmp' | wc -l; }

# start_program <RecordRate> <FrameLimit or 0>: the program in a folder of its own with these settings.
start_program() {
  prog="$work/prog" record_rate=$1
  rm -rf "$prog" && mkdir -p "$prog/Help"
  cp "$build_dir/bin/kadrel" "$build_dir/bin/libkadrel_avi.so" "$prog/"  # the module brings the codec dialog
  local limit_on=0
  [ "$2" = 0 ] || limit_on=1
  printf '[image]\r\nframe=%s\r\nfb=%s\r\nfbable=%s\r\n' "$1" "$2" "$limit_on" >"$prog/kadrel.ini"
  (cd "$prog" && QT_LOGGING_RULES="kadrel.recording.info=true" exec ./kadrel) 2>"$work/kadrel.log" &
  kadrel_pid=$!
  wait_window "Kadrel1.02  420 , 360"
  sleep 0.5
}
# stop_program: cancels the codec dialog and ends the program.
stop_program() {
  wait_window "ビデオの圧縮"
  xdotool key Escape
  wait_window "Kadrel1.02  .*"
  kill "$kadrel_pid"
  wait "$kadrel_pid" 2>/dev/null || true
  kadrel_pid=""
}

# The disk's own speed, 1 GB each way.
dd_speed() { dd if=/dev/zero of="$work/dd.bin" bs=1M count=1024 "$@" 2>&1 | awk '/copied/ { print $(NF-1), $NF }'; rm -f "$work/dd.bin"; }
echo "disk: direct $(dd_speed oflag=direct), through the page cache $(dd_speed), page cache and fsync $(dd_speed conv=fsync)"

# competitor_start / competitor_stop: another process writing 3 GB to the same volume.
competitor_start() {
  dd if=/dev/zero of="$work/competitor.bin" bs=1M count=3000 conv=fsync status=none &
  dd_pid=$!
  sleep 1
}
competitor_stop() {
  kill "$dd_pid" 2>/dev/null || true
  wait "$dd_pid" 2>/dev/null || true
  dd_pid=""
  rm -f "$work/competitor.bin"
}
# with_load <quiet|busy> <command...>: the command under that condition.
with_load() {
  local load=$1
  shift
  [ "$load" = quiet ] || competitor_start
  "$@"
  [ "$load" = quiet ] || competitor_stop
}

# record <seconds> <assemble|discard>: a whole-screen (ctrl+m) or frame recording of that length with
# the program already started; sets frames, cpu_ms (per frame), peak_mb (from the start to the stop
# box), repeated (frames written again for ticks the timer missed) and clock_ticks (the ticks due by
# the program's clock), "?" from a program that does not say, and, when assembled, rate. Discarding
# ends the program at the stop box and removes the frames.
record() {
  local cpu0 cpu1
  echo 5 >"/proc/$kadrel_pid/clear_refs"
  cpu0=$(ticks "$kadrel_pid")
  xdotool key ctrl+f
  sleep "$1"
  xdotool key ctrl+F3
  wait_window Kadrel
  cpu1=$(ticks "$kadrel_pid")
  peak_mb=$(awk '/VmHWM/ { print int($2 / 1024) }' "/proc/$kadrel_pid/status")
  frames=$(frames_in "$prog")
  local said ms
  said=$(grep 'of them repeated' "$work/kadrel.log" | tail -1 || true)
  repeated=$(sed -n 's/.* \([0-9]*\) of them repeated.*/\1/p' <<<"$said")
  ms=$(sed -n 's/.* in \([0-9]*\) ms.*/\1/p' <<<"$said")
  repeated=${repeated:-?} clock_ticks="?"
  [ -z "$ms" ] || clock_ticks=$((ms / (1000 / record_rate)))
  cpu_ms=$(calc "round(($cpu1 - $cpu0) * 1000 / $hz / max($frames, 1), 2)")
  rate=""
  if [ "$2" = assemble ]; then
    xdotool key Return
    stop_program
    rate=$(ffprobe -v error -select_streams v:0 -show_entries stream=r_frame_rate -of default=nw=1:nk=1 "$prog/動画保存1.avi")
  else
    kill -9 "$kadrel_pid"
    wait "$kadrel_pid" 2>/dev/null || true
    kadrel_pid=""
  fi
  rm -rf "$prog"
  sync  # the next case starts on a quiet disk
}
# ffgrab <seconds>: ffmpeg's x11grab of the whole screen at 30 frames a second into BMP files; sets
# ff_frames, ff_dup (the files that repeat a grab to keep the rate) and ff_cpu_ms (per frame).
ffgrab() {
  mkdir "$work/ffgrab"
  local out cpu grabbed dropped
  out=$( { /usr/bin/time -f "%U %S" ffmpeg -v verbose -stats -f x11grab -framerate 30 -video_size 1920x1080 \
    -i "$DISPLAY" -t "$1" "$work/ffgrab/%d.bmp"; } 2>&1)
  cpu=$(tail -1 <<<"$out" | awk '{ print $1 + $2 }')
  ff_frames=$(find "$work/ffgrab" -name '*.bmp' | wc -l)
  # Each grab goes to the files once, again and again (its dup), or not at all (its drop). Its own
  # dup count also holds repeats that -t then cut, so the distinct files are the grabs not dropped.
  grabbed=$(sed -n 's/.* \([0-9]*\) frames decoded.*/\1/p' <<<"$out" | head -1)
  dropped=$(sed -n 's/.*drop=\([0-9]*\).*/\1/p' <<<"$out" | tail -1)
  ff_dup=$(calc "$ff_frames - max(0, min($ff_frames, ${grabbed:-0} - ${dropped:-0}))")
  ff_cpu_ms=$(calc "round($cpu * 1000 / max($ff_frames, 1), 2)")
  rm -rf "$work/ffgrab"
  sync
}

# --- 1. 1080p whole screen at 30 frames a second, 10 s, quiet and busy ------------------------
if wanted 1; then
whole_screen_10s() {
  start_program 30 0
  xdotool key ctrl+m
  record 10 assemble
}
for load in quiet busy; do
  with_load $load whole_screen_10s
  with_load $load ffgrab 10
  echo "1080p whole screen, RecordRate 30, 10 s, $load disk, 300 ticks due: ours $frames frames ($repeated repeated;" \
       "$clock_ticks ticks due by its clock), AVI rate $rate, CPU $cpu_ms ms a frame; ffmpeg x11grab $ff_frames" \
       "frames ($ff_dup dup, $((ff_frames - ff_dup)) distinct), CPU $ff_cpu_ms ms a frame;" \
       "CPU ratio $(calc "round($cpu_ms / $ff_cpu_ms, 2)")"
done
fi

# --- 2. 1080p whole screen at 30 frames a second, 60 s ----------------------------------------
if wanted 2; then
start_program 30 0
xdotool key ctrl+m
record 60 discard
ffgrab 60
budget_mb=$(awk '/MemTotal/ { b = $2 / 1024 / 8; print int(b < 1024 ? b : 1024) }' /proc/meminfo)
echo "1080p whole screen, RecordRate 30, 60 s: ours $frames frames, ffmpeg x11grab $ff_frames frames," \
     "ratio $(calc "round($frames / $ff_frames, 3)"); peak memory $peak_mb MB (queue budget $budget_mb MB + 150 MB allowed)"
fi

# --- 3. 800 x 600 at 100 frames a second, 10 s, quiet and busy --------------------------------
if wanted 3; then
frame_800x600() {
  start_program 100 0
  xdotool search --name "^Kadrel1.02  420 , 360\$" windowsize 808 627
  wait_window "Kadrel1.02  800 , 600"
  record 10 assemble
}
for load in quiet busy; do
  with_load $load frame_800x600
  echo "800x600 frame, RecordRate 100, 10 s, $load disk: $frames frames ($(calc "round($frames / 1000, 3)") of the 1000 ticks due;" \
       "$repeated repeated; $clock_ticks ticks due by its clock)"
done
fi

# --- 4. The assembly of 300 and 1,000 frames of 1920 x 1080 -----------------------------------
if wanted 4; then
# assemble <frames> <copy>: records that many frames (frame limit), then times the assembly from the
# OK of the stop box to the codec dialog and reads the peak memory of that stretch; with copy, the
# frame files stay linked in $work/frames for ffmpeg.
assemble() {
  start_program 30 "$1"
  xdotool key ctrl+m ctrl+f
  wait_window Kadrel
  if [ "$2" = copy ]; then mkdir "$work/frames" && ln "$prog"/kadrel00AVISAVE*.bmp "$work/frames/"; fi
  echo 5 >"/proc/$kadrel_pid/clear_refs"  # the peak starts anew here
  local start
  start=$(now)
  xdotool key Return
  wait_window "ビデオの圧縮"
  assembly_s=$(calc "round($(now) - $start, 2)")
  peak_mb=$(awk '/VmHWM/ { print int($2 / 1024) }' "/proc/$kadrel_pid/status")
  stop_program
}
assemble 300 copy
ours_s=$assembly_s peak300=$peak_mb
start=$(now)
ffmpeg -v error -framerate 30 -i "$work/frames/kadrel00AVISAVE%d.bmp" -c:v rawvideo -pix_fmt rgb555le "$work/ff.avi"
ff_s=$(calc "round($(now) - $start, 2)")
rm -rf "$work/frames" "$work/ff.avi"
echo "assembly of 300 frames: ours $ours_s s, ffmpeg rawvideo rgb555le $ff_s s, ratio $(calc "round($ours_s / $ff_s, 2)")"
assemble 1000 no
echo "peak memory during the assembly: $peak300 MB for 300 frames, $peak_mb MB for 1000 frames"
fi
echo "load after: $(uptime | sed 's/.*load average: //')"
