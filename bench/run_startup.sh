#!/usr/bin/env bash
# Measures Kadrel's start-up against a minimal Qt Widgets program on a private
# X server (Xvfb, 1920 x 1080, 24 bits), so no other window can be mistaken for
# theirs and no window manager stands between the programs and the server.
#
# Usage: bench/run_startup.sh [build-dir] [benchmark flags...]
#   build-dir defaults to build/ in the source tree; it must hold bench/startup_bench,
#   bench/minimal_window and bin/kadrel (cmake --build <dir> --target kadrel
#   minimal_window startup_bench). KADREL_EXE and MINIMAL_QT_EXE override the
#   programs; flags such as --benchmark_repetitions=30 go to the benchmark.
set -euo pipefail

source_dir="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="${1:-$source_dir/build}"
if [ $# -gt 0 ]; then shift; fi

source "$source_dir/bench/common.sh"
bench="$build_dir/bench/startup_bench"
require_program run_startup.sh "$bench" "kadrel minimal_window startup_bench"
if [ -z "${KADREL_EXE:-}" ] && [ ! -x "$build_dir/bin/kadrel" ]; then
  echo "run_startup.sh: $build_dir/bin/kadrel not found (build the kadrel target or set KADREL_EXE)" >&2
  exit 1
fi
require_xvfb run_startup.sh

exec xvfb-run -a -s "-screen 0 1920x1080x24" "$bench" "$@"
