# Shared by the bench/run_*.sh scripts: sourced after build_dir is set.

# require_program <script name> <path> <targets to build>: stops with the build command when the
# program is missing.
require_program() {
  if [ ! -x "$2" ]; then
    echo "$1: $2 not found; build it with:" >&2
    echo "  cmake --build $build_dir --target $3" >&2
    exit 1
  fi
}

# require_xvfb <script name>: the private X server the benchmarks run on.
require_xvfb() {
  if ! command -v xvfb-run >/dev/null; then
    echo "$1: xvfb-run is missing (bash scripts/setup installs it)" >&2
    exit 1
  fi
}
