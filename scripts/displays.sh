# Sourced by the test scripts: start_displays <n> starts n private X servers (Xvfb, 1920 x 1080,
# 24 bits, no TCP) under one authority file, exports XAUTHORITY, DISPLAY (the first of them) and
# KADREL_TEST_DISPLAYS (all of them), and KADREL_TEST_DISPLAY_LOCKS, the folder where a test process
# marks the server it has taken. Tests that ctest runs side by side each take a server of their own
# (tests/fakes/qt_test_main.cpp), as they share the screen, the clipboard, the key grabs and the
# window manager. The servers stop when the shell exits.

stop_displays() {
  local pid
  for pid in "${displays_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${displays_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$displays_dir"
}

start_displays() {
  local count=$1 i number cookie
  displays_pids=()
  displays_dir=$(mktemp -d "${TMPDIR:-/tmp}/kadrel-displays.XXXXXX")
  trap stop_displays EXIT
  export XAUTHORITY="$displays_dir/Xauthority"
  cookie=$(mcookie)
  # The servers take every cookie of the file whatever display it names; each client looks for
  # its display's entry, added once the server has chosen its number.
  xauth -q -f "$XAUTHORITY" add :0 . "$cookie"
  for ((i = 0; i < count; i++)); do
    Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -auth "$XAUTHORITY" \
      3>"$displays_dir/number$i" 2>"$displays_dir/server$i.log" &
    displays_pids+=($!)
  done
  local ids=()
  for ((i = 0; i < count; i++)); do
    for _ in $(seq 100); do
      [[ -s "$displays_dir/number$i" ]] && break
      sleep 0.1
    done
    number=$(head -n 1 "$displays_dir/number$i")
    if [[ -z "$number" ]]; then
      echo "Xvfb did not start:" >&2
      cat "$displays_dir/server$i.log" >&2
      return 1
    fi
    xauth -q -f "$XAUTHORITY" add ":$number" . "$cookie"
    ids+=(":$number")
  done
  export DISPLAY=":$(head -n 1 "$displays_dir/number0")"
  export KADREL_TEST_DISPLAYS="${ids[*]}"
  export KADREL_TEST_DISPLAY_LOCKS="$displays_dir"
}
