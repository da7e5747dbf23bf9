#!/usr/bin/env bash
# Times the screen grab routes, the cut and the scaling of a capture on a private X server
# (Xvfb, 1920 x 1080, 24 bits), where no other window covers the benchmark's picture, and prints
# the ratio shared-memory grab / memcpy.
#
# Usage: bench/run_grab.sh [build-dir] [benchmark flags...]
#   build-dir defaults to build/ in the source tree; it must hold bench/grab_bench
#   (cmake --build <dir> --target grab_bench). Flags such as --benchmark_filter=Grab go to the benchmark.
set -euo pipefail

source_dir="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="${1:-$source_dir/build}"
if [ $# -gt 0 ]; then shift; fi

bench="$build_dir/bench/grab_bench"
if [ ! -x "$bench" ]; then
  echo "run_grab.sh: $bench not found; build it with:" >&2
  echo "  cmake --build $build_dir --target grab_bench" >&2
  exit 1
fi
if ! command -v xvfb-run >/dev/null; then
  echo "run_grab.sh: xvfb-run is missing (bash scripts/setup installs it)" >&2
  exit 1
fi

exec xvfb-run -a -s "-screen 0 1920x1080x24" "$bench" "$@"
