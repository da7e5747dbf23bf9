# shellcheck shell=bash
# Sourced by gnome-session and kde-session: what a private headless Wayland session needs whatever the
# desktop. The script that sources it sets
#   session_name      its own name, for messages and usage
#   desktop           the XDG_CURRENT_DESKTOP of the session (GNOME, KDE)
#   desktop_session   its XDG_SESSION_DESKTOP and DESKTOP_SESSION
#   compositor        the name under which inner_session records the compositor in run/pids
# and defines
#   prepare_desktop   (as root, before the session starts) what its desktop needs in $run
#   inner_session LOG (as the session's user in the private namespace) starts the session's processes
#   desktop_start     (as root) waits until the desktop is usable; sets display and xauthority
# and then calls session_main "$@".
#
# The interface (start DIR [USER] / run DIR CMD... / stop DIR), DIR/env and the variables that tune it
# (KADREL_WL_HOME, KADREL_WL_KEEP_LOGS, KADREL_WL_DEADLINE, KADREL_WL_VERBOSE) are described in
# gnome-session.
#
# Clients of the portals must run as the session's user: xdg-desktop-portal looks at the caller's
# /proc/PID/root and refuses ("Unable to open /proc/PID/root") a caller it may not look at, such as root.
#
# Several sessions run side by side: each has its own runtime folder (so its own Wayland socket, session
# bus and PipeWire socket), its own home under DIR and its own system bus; the compositors pick free X
# displays. Every process of a session carries KADREL_WL_FIXTURE=DIR in its environment, so stop also finds
# those that the session bus started on demand.

self=$(readlink -f "$0")
deadline_seconds=${KADREL_WL_DEADLINE:-60}

# shellcheck disable=SC2154 # session_name: the sourcing script's
die() {
  echo "$session_name: $*" >&2
  exit 1
}

seconds_since() {
  awk -v a="$1" -v b="$(date +%s.%N)" 'BEGIN { printf "%.2f", b - a }'
}

# Pids of the processes whose environment holds the session's mark.
session_pids() {
  local f files
  # Processes of other namespaces and those that end meanwhile are not readable: grep skips them, and
  # then answers 2 whatever it found.
  files=$(grep -lzxF -- "KADREL_WL_FIXTURE=$1" /proc/[0-9]*/environ 2>/dev/null) || true
  for f in $files; do
    f=${f#/proc/}
    echo "${f%/environ}"
  done
}

# try_once COMMAND...: runs COMMAND (a function too), ended when the start's deadline passes: a call
# that is never answered (an X server that accepts and says nothing) must not hold the start past it.
try_once() {
  ("$@") >/dev/null 2>&1 &
  local pid=$!
  while kill -0 "$pid" 2>/dev/null; do
    if ((SECONDS >= deadline)); then
      pkill -KILL -P "$pid" || true
      kill -KILL "$pid" 2>/dev/null || true
      wait "$pid" 2>/dev/null || true
      return 1
    fi
    sleep 0.02
  done
  wait "$pid"
}

# wait_for DESCRIPTION COMMAND...: polls COMMAND until it succeeds or the start's deadline passes.
wait_for() {
  local what=$1
  shift
  until try_once "$@"; do
    if ((SECONDS >= deadline)); then
      echo "$session_name: timed out waiting for $what; logs in $log" >&2
      return 1
    fi
    if [[ -n "${launcher_pid:-}" ]] && ! kill -0 "$launcher_pid" 2>/dev/null; then
      echo "$session_name: the session ended while waiting for $what; logs in $log" >&2
      return 1
    fi
    sleep 0.05
  done
  if [[ -n "${KADREL_WL_VERBOSE:-}" ]]; then
    echo "$session_name: $what after $(seconds_since "$t0") s" >&2
  fi
}

as_user() {
  setpriv --reuid="$user" --regid="$user" --init-groups env -i "${session_env[@]}" "$@"
}

bus_name_owned() {
  as_user gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.NameHasOwner "$1" | grep -q true
}

# The pid that inner_session recorded for NAME in run/pids.
recorded_pid() {
  awk -v name="$2" '$1 == name { print $2 }' "$1"
}

# find_xwayland PID: the public X display of the compositor PID's Xwayland and its authority file. The
# first display on Xwayland's command line is the public one (mutter names two).
find_xwayland() {
  local p
  for p in $(pgrep -P "$1" -x Xwayland); do
    tr '\0' '\n' <"/proc/$p/cmdline" | awk 'NR == 2 { d = $0 } prev == "-auth" { a = $0 } { prev = $0 }
      END { if (d != "" && a != "") { print d, a } else { exit 1 } }' && return 0
  done
  return 1
}

# The session's own system bus: the compositors want one, and a private one keeps sessions and the
# machine's services apart. It starts nothing on demand.
write_bus_configs() {
  cat >"$run/system.conf" <<EOF || return 1
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$run/system_bus_socket</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF
  # The session bus as Debian configures it, but open to root too, so a test runner that is root may
  # use the compositor's own interfaces and the permission store directly (the portals still refuse root).
  cat >"$run/session.conf" <<EOF || return 1
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <include>/usr/share/dbus-1/session.conf</include>
  <policy context="default">
    <allow user="*"/>
  </policy>
</busconfig>
EOF
}

# Called by inner_session first: the session's system and session buses, up before it returns.
start_buses() {
  local run=$1 log=$2 i
  dbus-daemon --config-file="$run/system.conf" --nofork --nopidfile >"$log/system-bus.log" 2>&1 &
  echo "system-bus $!" >>"$run/pids"
  dbus-daemon --config-file="$run/session.conf" --address="unix:path=$run/bus" --nofork --nopidfile \
    >"$log/session-bus.log" 2>&1 &
  echo "session-bus $!" >>"$run/pids"
  # The compositors give up when a bus is missing at start.
  for i in $(seq 400); do
    [[ -S "$run/bus" && -S "$run/system_bus_socket" ]] && break
    sleep 0.05
  done
}

start() {
  local dir=$1 user=${2:-kadrel-wl}
  deadline=$((SECONDS + deadline_seconds))
  [[ $(id -u) -eq 0 ]] || die "start runs as root (it mounts in a private namespace and switches user)"
  if ! id -u "$user" >/dev/null 2>&1; then
    # A session starting beside this one may have just added it.
    useradd -m -s /bin/bash "$user" || id -u "$user" >/dev/null || die "cannot add the user $user"
  fi
  mkdir -p "$dir" || die "cannot make $dir"
  dir=$(cd "$dir" && pwd)
  [[ ! -e "$dir/env" ]] || die "$dir already holds a session; stop it first"
  run="$dir/run"
  log="$dir/log"
  # The longest socket path is run/pipewire-0-manager; sun_path holds 107 bytes.
  ((${#run} <= 80)) || die "the folder path is too long for the session's sockets: $dir"
  # The session's user must reach its runtime folder and home inside DIR.
  chmod a+x "$dir" || die "cannot open $dir to $user"
  install -d -o "$user" -g "$user" -m 700 "$run" || die "cannot make $run"
  install -d -o "$user" -g "$user" -m 755 "$log" || die "cannot make $log"
  home=${KADREL_WL_HOME:-$dir/home}
  # The screenshot portals save into ~/Pictures (KDE's answers 1 where it is missing).
  install -d -o "$user" -g "$user" -m 700 "$home" "$home/Pictures" || die "cannot make $home"
  # XWayland will not run where its socket folder is not root's with the sticky bit.
  if [[ ! -d /tmp/.X11-unix ]]; then
    install -d -o root -g root -m 1777 /tmp/.X11-unix || die "cannot make /tmp/.X11-unix"
  else
    chown root:root /tmp/.X11-unix || die "cannot give /tmp/.X11-unix to root"
    chmod 1777 /tmp/.X11-unix || die "cannot make /tmp/.X11-unix writable by all"
  fi
  # The namespace's tmpfs needs the folder to mount on; a machine without systemd may lack it.
  [[ -d /run/systemd ]] || mkdir -p /run/systemd || die "cannot make /run/systemd"
  write_bus_configs || die "cannot write the bus configurations in $run"
  chown "$user:$user" "$run/system.conf" "$run/session.conf"

  session_env=(HOME="$home" USER="$user" LOGNAME="$user" PATH=/usr/local/bin:/usr/bin:/bin
    LANG=C.UTF-8 XDG_RUNTIME_DIR="$run" XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP="$desktop"
    XDG_SESSION_DESKTOP="$desktop_session" DESKTOP_SESSION="$desktop_session" WAYLAND_DISPLAY=wayland-0
    DBUS_SESSION_BUS_ADDRESS="unix:path=$run/bus" DBUS_SYSTEM_BUS_ADDRESS="unix:path=$run/system_bus_socket"
    KADREL_WL_FIXTURE="$dir")
  prepare_desktop || die "cannot prepare $run for the session"

  t0=$(date +%s.%N)
  # gnome-shell takes its logind path, and exits without a seat, where it sees /run/systemd; WirePlumber
  # quits where it cannot watch logind's folders, so they are there, empty. The namespace also takes
  # the document portal's FUSE mount in $run away with it.
  # shellcheck disable=SC2016
  unshare -m --propagation private -- bash -c 'mount -t tmpfs -o mode=755 tmpfs /run/systemd &&
    mkdir /run/systemd/seats /run/systemd/sessions /run/systemd/users /run/systemd/machines && exec "$@"' \
    inner setpriv --reuid="$user" --regid="$user" --init-groups env -i "${session_env[@]}" \
    "$self" _inner "$log" >"$log/launcher.log" 2>&1 &
  launcher_pid=$!
  echo "launcher $launcher_pid" >"$dir/pids" || die "cannot write $dir/pids"
  started_ok=""
  start_dir=$dir
  trap 'start_cleanup "$start_dir"' EXIT

  display="" xauthority=""
  desktop_start

  {
    echo "# The $desktop session of $session_name start $dir; source this file."
    local kv
    for kv in USER="$user" HOME="$home" XDG_RUNTIME_DIR="$run" XDG_SESSION_TYPE=wayland \
      XDG_CURRENT_DESKTOP="$desktop" WAYLAND_DISPLAY=wayland-0 DISPLAY="$display" XAUTHORITY="$xauthority" \
      DBUS_SESSION_BUS_ADDRESS="unix:path=$run/bus" PIPEWIRE_RUNTIME_DIR="$run"; do
      printf 'export %s=%q\n' "${kv%%=*}" "${kv#*=}"
    done
    printf 'KADREL_WL_USER=%q\n' "$user"
  } >"$dir/env.tmp" || die "cannot write $dir/env"
  mv "$dir/env.tmp" "$dir/env" || die "cannot write $dir/env"
  write_pids "$dir" || die "cannot write $dir/pids"
  started_ok=1
  echo "$session_name: started in $(seconds_since "$t0") s:" \
    "WAYLAND_DISPLAY=wayland-0 DISPLAY=$display; source $dir/env" >&2
}

# A start that fails stops what it started and keeps the logs.
start_cleanup() {
  [[ -z "$started_ok" ]] || return 0
  echo "$session_name: start failed; stopping what it started; logs stay in $1/log" >&2
  KADREL_WL_KEEP_LOGS=1 stop "$1" || true
}

write_pids() {
  local dir=$1 p
  {
    grep '^launcher ' "$dir/pids"
    for p in $(session_pids "$dir"); do echo "$(cat "/proc/$p/comm" 2>/dev/null || echo gone) $p"; done
  } >"$dir/pids.tmp" && mv "$dir/pids.tmp" "$dir/pids"
}

stop() {
  local dir=$1 p left="" shell_pid="" i
  [[ -d "$dir" ]] || die "no folder $dir"
  dir=$(cd "$dir" && pwd)
  # shellcheck disable=SC2154 # compositor: the sourcing script's
  [[ -f "$dir/run/pids" ]] && shell_pid=$(recorded_pid "$dir/run/pids" "$compositor")
  local t0
  t0=$(date +%s.%N)
  # The compositor first: its XWayland and helpers go with it, and it removes its X locks itself.
  if [[ -n "$shell_pid" ]] && kill -TERM "$shell_pid" 2>/dev/null; then
    for i in $(seq 40); do
      kill -0 "$shell_pid" 2>/dev/null || break
      sleep 0.05
    done
  fi
  # The launcher carries the mark too. A zombie has no environment left, so it counts as ended (its
  # parent may have ended before it), and a pid that no longer carries the mark is not ours to signal.
  for i in $(seq 100); do
    left=$(session_pids "$dir" | tr '\n' ' ')
    [[ -n "$left" ]] || break
    # shellcheck disable=SC2086
    if ((i < 60)); then kill -TERM $left 2>/dev/null || true; else kill -KILL $left 2>/dev/null || true; fi
    sleep 0.05
  done
  [[ -z "$left" ]] || die "processes of the session would not end: $left"
  # A compositor that did not end cleanly leaves its X locks and sockets behind.
  if [[ -n "$shell_pid" ]]; then
    for p in /tmp/.X*-lock; do
      [[ -f "$p" ]] || continue
      if [[ $(tr -d ' \n' <"$p") == "$shell_pid" ]]; then
        local n=${p#/tmp/.X}
        n=${n%-lock}
        rm -f "$p" "/tmp/.X11-unix/X$n"
      fi
    done
  fi
  rm -rf "${dir:?}/run" "$dir/env" "$dir/pids" "$dir/env.tmp" "$dir/pids.tmp"
  [[ -n "${KADREL_WL_HOME:-}" ]] || rm -rf "${dir:?}/home"
  [[ -n "${KADREL_WL_KEEP_LOGS:-}" ]] || rm -rf "${dir:?}/log"
  echo "$session_name: stopped in $(seconds_since "$t0") s" >&2
}

run_as_session_user() {
  local dir=$1
  shift
  [[ -f "$dir/env" ]] || die "no session in $dir"
  local vars
  # shellcheck disable=SC2016
  vars=$(env -i bash -c 'set -a; . "$1"; env -0' run "$dir/env" | tr '\0' '\n' |
    grep -Ev '^(PWD|SHLVL|_)=') || die "cannot read $dir/env"
  local user
  user=$(awk -F= '$1 == "KADREL_WL_USER" { print $2 }' "$dir/env")
  local -a args=()
  mapfile -t args <<<"$vars"
  exec setpriv --reuid="$user" --regid="$user" --init-groups env -i PATH=/usr/local/bin:/usr/bin:/bin \
    LANG=C.UTF-8 LOGNAME="$user" "${args[@]}" "$@"
}

session_main() {
  case "${1:-}" in
  start)
    [[ $# -ge 2 ]] || die "usage: $session_name start DIR [USER]"
    start "$2" "${3:-}"
    ;;
  stop)
    [[ $# -eq 2 ]] || die "usage: $session_name stop DIR"
    stop "$2"
    ;;
  run)
    [[ $# -ge 3 ]] || die "usage: $session_name run DIR CMD..."
    local dir=$2
    shift 2
    run_as_session_user "$dir" "$@"
    ;;
  _inner) inner_session "$2" ;;
  *) die "usage: $session_name start DIR [USER] | stop DIR" ;;
  esac
}
