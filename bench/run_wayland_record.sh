#!/usr/bin/env bash
# A recording on a Wayland desktop (a private headless GNOME session, 1920 x 1080): a window of the
# desktop's own changes at every frame the desktop draws; the desktop's ScreenCast stream is first
# counted by gst-launch-1.0 pipewiresrc for SECONDS (frames a second it delivers), then Kadrel records
# SECONDS at RecordRate 30 through its commands. Printed: the AVI's frames, the distinct frames among
# them a second against the stream's rate (the share of the delivered frames the recording kept), and
# Kadrel's CPU time a frame. Run as root (the session runs as its own user).
#
# Usage: bench/run_wayland_record.sh [build-dir] [seconds]    (build/, 10 s by default)
# With KADREL_BENCH_DIR=/dev/shm the session and the recording's frame files are on a tmpfs: the
# difference to a run on the disk is what the frame files' writes cost the desktop. With
# KADREL_BENCH_GST_DURING=1 gst also counts a stream of its own while Kadrel records (its chooser
# passed first), the recording lasting as long as that count.
set -euo pipefail

source_dir="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="$(cd "${1:-$source_dir/build}" && pwd)"
seconds="${2:-10}"
# shellcheck source=bench/wayland_session.sh
. "$source_dir/bench/wayland_session.sh"
printf '[image]\r\nframe=30\r\n' >"$program/kadrel.ini"
chown -R "$KADREL_WL_USER" "$program"
# The screen's middle before and after the window comes: the chooser that the stream's start opens must
# not come first, or the window would cover it.
middle() {
  as_user "$tool" "$work/gnome" screenshot "$program/screen.png"
  convert "$program/screen.png" -format '%[pixel:p{960,540}]' info:
}
empty=$(middle)
(cd "$program" && as_user env GDK_BACKEND=wayland /usr/bin/python3 "$source_dir/tests/wayland/native_window.py" \
  animate >/dev/null 2>&1 &)
while [ "$(middle)" = "$empty" ]; do :; done

stream_rate=$(as_user "$tool" "$work/gnome" cast-rate "$seconds" | tail -n 1)

# The newest shown window of that title, once there is one. A search fails when a window goes away
# while it walks the tree (BadWindow): then it searches again.
shown() {
  local window=""
  until [ -n "$window" ]; do
    window=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | tail -n 1) || window=""
    [ -n "$window" ] || sleep 0.05
  done
  echo "$window"
}
(cd "$program" && as_user env QT_LOGGING_RULES=kadrel.recording.info=true "$program/kadrel" >"$work/kadrel.log" 2>&1 &)
shown 'Kadrel1.02  420 , 360' >/dev/null
pid=$(pgrep -u "$KADREL_WL_USER" -x kadrel | head -n 1)
cpu() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }
# The answer to a box: the window of that title made active, then the key.
answer() {
  xdotool windowactivate --sync "$(shown "$1")" key "$2"
}
as_user "$program/kadrel" --command start
as_user "$tool" "$work/gnome" pass-chooser >/dev/null
answer Kadrel Return # once: how to bind the commands
shown 'Kadrel1.02 動画保存>録画中' >/dev/null
before=$(cpu)
if [ -n "${KADREL_BENCH_GST_DURING:-}" ]; then
  # gst counts a stream of its own while Kadrel records: the same desktop, under the same load.
  as_user "$tool" "$work/gnome" cast-rate "$seconds" | tail -n 1 >"$work/during"
else
  sleep "$seconds"
fi
as_user "$program/kadrel" --command stop
after=$(cpu)
answer Kadrel Return
answer 'ビデオの圧縮' Escape
shown 'Kadrel1.02  420 , 360' >/dev/null

avi="$program/動画保存1.avi"
frames=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 "$avi")
rate=$(ffprobe -v error -select_streams v:0 -show_entries stream=r_frame_rate -of csv=p=0 "$avi")
distinct=$(ffmpeg -v error -i "$avi" -f framemd5 - | awk '!/^#/ { if ($6 != last) n++; last = $6 } END { print n }')
ticks=$(getconf CLK_TCK)
# What the stream gave Kadrel while it recorded, from its log.
own=$(sed -n 's/.*the screen cast delivered \([0-9]*\) frames.*/\1/p' "$work/kadrel.log")
during=$(cat "$work/during" 2>/dev/null || true)
awk -v f="$frames" -v r="$rate" -v d="$distinct" -v s="$stream_rate" -v o="${own:-0}" -v c="$((after - before))" \
  -v t="$ticks" -v g="${during:-0}" '
  BEGIN {
    split(r, q, "/"); fps = q[1] / (q[2] ? q[2] : 1); length_s = f / fps
    printf "stream alone (gst pipewiresrc)       %7.2f frames/s\n", s
    printf "stream to Kadrel while recording     %7.2f frames/s\n", o / length_s
    printf "Kadrel AVI                           %7d frames at %s (%.1f s)\n", f, r, length_s
    printf "distinct frames in the AVI           %7.2f frames/s\n", d / length_s
    printf "ratio distinct / gst alone           %7.2f\n", (d / length_s) / s
    if (g > 0) {
      printf "stream to gst while Kadrel recorded  %7.2f frames/s\n", g
      printf "ratio distinct / gst meanwhile       %7.2f\n", (d / length_s) / g
    }
    printf "ratio distinct / delivered to Kadrel %7.2f (at most RecordRate %d)\n", d / (o < f ? o : f), fps
    printf "Kadrel CPU a frame                   %7.2f ms\n", 1000 * c / t / f
  }'
