# Sourced by the Wayland benchmarks, with source_dir and build_dir set: starts a private headless GNOME
# session (scripts/wayland/gnome-session) that ends with the script, and puts a copy of the built program
# in $program, a folder of the session's user. Defines as_user (a command as that user, in the session)
# and tool (scripts/wayland/desktop-tool).
session="$source_dir/scripts/wayland/gnome-session"
tool="$source_dir/scripts/wayland/desktop-tool"

# KADREL_BENCH_DIR: the folder to hold the session and the program (a tmpfs, to leave the disk out).
work="$(mktemp -d -p "${KADREL_BENCH_DIR:-${TMPDIR:-/tmp}}")"
chmod 755 "$work"
cleanup() {
  bash "$session" stop "$work/gnome" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
bash "$session" start "$work/gnome" >/dev/null
# shellcheck disable=SC1091
. "$work/gnome/env"
as_user() { bash "$session" run "$work/gnome" "$@"; }

program="$work/program"
mkdir -p "$program"
cp "$build_dir/bin/kadrel" "$build_dir/bin/libkadrel_avi.so" "$program/"
