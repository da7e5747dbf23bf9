#!/usr/bin/env bash
# Still capture to a file on a Wayland desktop (a private headless GNOME session, 1920 x 1080):
# Kadrel's Ctrl+Z (its picture through the desktop's screenshot portal, the frame's client area saved
# as PNG) against gnome-screenshot writing the whole screen to a PNG file. Each runs RUNS times
# (default 10); the median time from the key (or the command's start) to the whole file, and the
# ratio, are printed. Run as root (the session runs as its own user).
#
# Usage: bench/run_wayland_still.sh [build-dir]     (build-dir defaults to build/)
set -euo pipefail

source_dir="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="$(cd "${1:-$source_dir/build}" && pwd)"
runs="${RUNS:-10}"
# shellcheck source=bench/wayland_session.sh
. "$source_dir/bench/wayland_session.sh"
convert -size 1920x1080 -seed 7 plasma:fractal -blur 0x2 -depth 8 "$program/screen.png"
chown -R "$KADREL_WL_USER" "$program"
(cd "$program" && as_user feh --borderless -g 1920x1080+0+0 "$program/screen.png" >/dev/null 2>&1 &)
xdotool search --sync --onlyvisible --class feh >/dev/null
(cd "$program" && as_user "$program/kadrel" >/dev/null 2>&1 &)
xdotool search --sync --onlyvisible --name '^Kadrel1.02  420 , 360$' >/dev/null
xdotool key ctrl+p

median() { sort -n | awk '{ v[NR] = $1 } END { printf "%.0f\n", (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
# Whole once the PNG's last chunk is there.
whole_png() { [ -s "$1" ] && tail -c 12 "$1" 2>/dev/null | grep -q IEND; }

kadrel_times=()
for i in $(seq "$runs"); do
  file="$program/指定先に保存$i.png"
  xdotool search --sync --onlyvisible --name '^Kadrel1.02  420 , 360$' >/dev/null
  start=$(date +%s%N)
  xdotool key ctrl+z
  until whole_png "$file"; do sleep 0.002; done
  end=$(date +%s%N)
  kadrel_times+=("$(((end - start) / 1000))")
done

reference_times=()
for _ in $(seq "$runs"); do
  file="$program/reference.png"
  rm -f "$file"
  start=$(date +%s%N)
  as_user gnome-screenshot -f "$file" >/dev/null 2>&1
  until whole_png "$file"; do sleep 0.002; done
  end=$(date +%s%N)
  reference_times+=("$(((end - start) / 1000))")
done

k=$(printf '%s\n' "${kadrel_times[@]}" | median)
r=$(printf '%s\n' "${reference_times[@]}" | median)
printf 'Kadrel Ctrl+Z to PNG (portal)     %8.1f ms\n' "$(echo "$k / 1000" | bc -l)"
printf 'gnome-screenshot -f to PNG        %8.1f ms\n' "$(echo "$r / 1000" | bc -l)"
printf 'ratio Kadrel / gnome-screenshot   %8.2f\n' "$(echo "$k / $r" | bc -l)"
