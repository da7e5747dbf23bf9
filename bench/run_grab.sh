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

source "$source_dir/bench/common.sh"
bench="$build_dir/bench/grab_bench"
require_program run_grab.sh "$bench" grab_bench
require_xvfb run_grab.sh

exec xvfb-run -a -s "-screen 0 1920x1080x24" "$bench" "$@"
