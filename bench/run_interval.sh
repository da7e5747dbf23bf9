#!/usr/bin/env bash
# Interval saving at 100 ms for 10 s on a private X server (Xvfb, 1920 x 1080, 24 bits).
# Usage: bench/run_interval.sh [build-dir]
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="${1:-$source_dir/build}"
exec xvfb-run -a -s "-screen 0 1920x1080x24" "$build_dir/bench/interval_bench"
