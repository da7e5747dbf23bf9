"""What the probes of the headless GNOME session share: its environment, the session bus, portal
requests answered through their Response signal, and plain PNG files."""

import os
import shlex
import struct
import subprocess
import sys
import time
import urllib.parse
import zlib

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

PORTAL = "org.freedesktop.portal.Desktop"
PORTAL_PATH = "/org/freedesktop/portal/desktop"


def load_env(session_dir):
    """Reads DIR/env of gnome-session start and puts it into this process's environment."""
    env = {}
    with open(os.path.join(session_dir, "env"), encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            if line.startswith("export "):
                line = line[len("export ") :]
            key, _, value = line.partition("=")
            env[key] = shlex.split(value)[0] if value else ""
    os.environ.update(env)
    return env


def session_bus():
    return Gio.DBusConnection.new_for_address_sync(
        os.environ["DBUS_SESSION_BUS_ADDRESS"],
        Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT | Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION,
        None,
        None,
    )


def call(bus, dest, path, iface, method, params, reply=None, fds=None, timeout_ms=30000):
    if fds is not None:
        result, out_fds = bus.call_with_unix_fd_list_sync(
            dest, path, iface, method, params, GLib.VariantType(reply) if reply else None,
            Gio.DBusCallFlags.NONE, timeout_ms, fds, None)
        return result, out_fds
    return bus.call_sync(dest, path, iface, method, params, GLib.VariantType(reply) if reply else None,
                         Gio.DBusCallFlags.NONE, timeout_ms, None)


_token_count = 0


def new_token(prefix="kadrel"):
    global _token_count
    _token_count += 1
    return "%s_%d_%d" % (prefix, os.getpid(), _token_count)


def request_path(bus, token):
    sender = bus.get_unique_name()[1:].replace(".", "_")
    return "/org/freedesktop/portal/desktop/request/%s/%s" % (sender, token)


def portal_request(bus, iface, method, build_params, timeout_s=60, while_waiting=None):
    """Calls a portal method that answers through a Request object and waits for its Response.

    build_params(token) returns the call's parameters; the subscription is made before the call so the
    answer cannot be missed. while_waiting(), when given, is called once after the call returns (for
    example to pass a dialog). Returns (response code, results dict, seconds from call to answer)."""
    token = new_token()
    path = request_path(bus, token)
    answer = {}
    loop = GLib.MainLoop()

    def on_response(_conn, _sender, _path, _iface, _signal, params):
        answer["code"], answer["results"] = params.unpack()
        answer["t"] = time.monotonic()
        loop.quit()

    sub = bus.signal_subscribe(PORTAL, "org.freedesktop.portal.Request", "Response", path, None,
                               Gio.DBusSignalFlags.NONE,
                               on_response)
    t0 = time.monotonic()
    handle = call(bus, PORTAL, PORTAL_PATH, iface, method, build_params(token), "(o)").unpack()[0]
    if handle != path:
        sys.exit("the portal answered on %s, not %s" % (handle, path))
    if while_waiting is not None and "code" not in answer:
        while_waiting()
    if "code" not in answer:
        timer = GLib.timeout_add(int(timeout_s * 1000), loop.quit)
        loop.run()
        if "code" in answer:
            GLib.source_remove(timer)
    bus.signal_unsubscribe(sub)
    if "code" not in answer:
        sys.exit("no Response to %s.%s within %d s" % (iface, method, timeout_s))
    return answer["code"], answer["results"], answer["t"] - t0


def write_png(path, width, height, pixel):
    """Writes an 8-bit RGB PNG; pixel(x, y) gives (r, g, b)."""
    rows = bytearray()
    for y in range(height):
        rows.append(0)
        for x in range(width):
            rows.extend(pixel(x, y))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    data = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(rows), 6)) + chunk(b"IEND", b""))
    with open(path + ".tmp", "wb") as f:
        f.write(data)
        f.flush()
        os.fsync(f.fileno())
    os.replace(path + ".tmp", path)


def read_rgb(path):
    """Any image ImageMagick reads, as (width, height, RGB bytes)."""
    size = subprocess.run(["identify", "-format", "%w %h", path], check=True, capture_output=True,
                          text=True).stdout.split()
    raw = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], check=True, capture_output=True).stdout
    return int(size[0]), int(size[1]), raw


def test_pattern(x, y):
    """A picture whose every small patch is unlike its neighbours, so an offset shows."""
    return ((x * 7 + y * 3) & 255, (y * 5 + (x >> 3) * 16) & 255, (x ^ y) & 255)


def compare_region(shot, sx, sy, pattern_w, pattern_h, pattern=test_pattern):
    """Counts pixels of the screenshot region at (sx, sy) that differ from the pattern, and the largest
    difference of one channel."""
    w, _h, raw = shot
    differ = 0
    worst = 0
    for y in range(pattern_h):
        row = ((sy + y) * w + sx) * 3
        for x in range(pattern_w):
            want = pattern(x, y)
            got = raw[row + 3 * x:row + 3 * x + 3]
            d = max(abs(got[0] - want[0]), abs(got[1] - want[1]), abs(got[2] - want[2]))
            if d:
                differ += 1
                worst = max(worst, d)
    return differ, worst


def find_pattern(shot, near_x, near_y, radius):
    """Where the pattern's top-left 8x8 corner is, within radius of (near_x, near_y), or None."""
    for dy in range(-radius, radius + 1):
        for dx in range(-radius, radius + 1):
            x, y = near_x + dx, near_y + dy
            if x >= 0 and y >= 0 and compare_region(shot, x, y, 8, 8)[0] == 0:
                return x, y
    return None


def run(args, timeout=20, **kw):
    return subprocess.run(args, check=True, capture_output=True, text=True, timeout=timeout, **kw).stdout


def window_origin(window):
    """The client area's top-left corner in root coordinates, as xwininfo gives it."""
    out = run(["xwininfo", "-id", str(window)])
    x = int(out.split("Absolute upper-left X:")[1].split()[0])
    y = int(out.split("Absolute upper-left Y:")[1].split()[0])
    return x, y


def place_window(window, x, y, timeout_s=10):
    """Moves an X window so its client area's top-left corner is at (x, y). mutter places the frame at
    the asked point (and keeps the title bar below the top bar), so the move is corrected by the offset it
    shows until the client area is where it should be."""
    ask = (x, y)
    deadline = time.monotonic() + timeout_s
    origin = window_origin(window)
    while origin != (x, y):
        if time.monotonic() > deadline:
            sys.exit("window 0x%x stays at %s, not %s" % (window, origin, (x, y)))
        before = origin
        run(["xdotool", "windowmove", str(window), str(ask[0]), str(ask[1])])
        # A move to where the frame already is changes nothing: then the correction below is the answer.
        settle = min(deadline, time.monotonic() + 1)
        while origin == before and time.monotonic() < settle:
            time.sleep(0.02)
            origin = window_origin(window)
        if origin != (x, y):
            ask = (ask[0] + x - origin[0], ask[1] + y - origin[1])
    return origin


def show_picture(png, title, x, y):
    """Opens feh on png, moves its window so the picture's top-left corner is at (x, y) and returns
    (process, window id, client area origin)."""
    feh = subprocess.Popen(["feh", "--title", title, "--no-menus", png], stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
    window = int(run(["xdotool", "search", "--sync", "--onlyvisible", "--name", "^%s$" % title]).split()[0])
    return feh, window, place_window(window, x, y)


def screenshot(bus):
    """A screenshot through the portal, as (width, height, RGB bytes); the file is removed."""
    code, results, _ = portal_request(
        bus, "org.freedesktop.portal.Screenshot", "Screenshot",
        lambda token: GLib.Variant("(sa{sv})", ("", {"handle_token": GLib.Variant("s", token),
                                                      "interactive": GLib.Variant("b", False)})), timeout_s=30)
    if code != 0:
        sys.exit("screenshot refused: Response %d" % code)
    path = urllib.parse.unquote(urllib.parse.urlparse(results["uri"]).path)
    shot = read_rgb(path)
    os.unlink(path)
    return shot


def pixel(shot, x, y):
    w, _h, raw = shot
    i = (y * w + x) * 3
    return tuple(raw[i:i + 3])


class MutterPointer:
    """Clicks at absolute screen points through org.gnome.Mutter.RemoteDesktop, which reaches Wayland
    clients such as the portal's dialogs (xdotool reaches only XWayland). Absolute motion is relative to a
    screen-cast stream of the monitor, so the remote-desktop session records the primary monitor."""

    BTN_LEFT = 0x110

    def __init__(self, bus):
        self.bus = bus
        rd = "org.gnome.Mutter.RemoteDesktop"
        self.session = call(bus, rd, "/org/gnome/Mutter/RemoteDesktop", rd, "CreateSession", None,
                            "(o)").unpack()[0]
        session_id = call(bus, rd, self.session, "org.freedesktop.DBus.Properties", "Get",
                          GLib.Variant("(ss)", (rd + ".Session", "SessionId")), "(v)").unpack()[0]
        sc = "org.gnome.Mutter.ScreenCast"
        sc_session = call(bus, sc, "/org/gnome/Mutter/ScreenCast", sc, "CreateSession",
                          GLib.Variant("(a{sv})", ({"remote-desktop-session-id": GLib.Variant("s", session_id)},)),
                          "(o)").unpack()[0]
        self.stream = call(bus, sc, sc_session, sc + ".Session", "RecordMonitor",
                           GLib.Variant("(sa{sv})", ("", {})), "(o)").unpack()[0]
        self._session_call("Start", None)

    def _session_call(self, method, params):
        call(self.bus, "org.gnome.Mutter.RemoteDesktop", self.session, "org.gnome.Mutter.RemoteDesktop.Session",
             method, params)

    def move(self, x, y):
        self._session_call("NotifyPointerMotionAbsolute", GLib.Variant("(sdd)", (self.stream, float(x), float(y))))

    def click(self):
        """Presses and releases the left button where the pointer is. The calls return before mutter
        has moved the pointer, so a click sent right after a move lands nowhere: callers wait for the
        pointer to be seen there first."""
        self._session_call("NotifyPointerButton", GLib.Variant("(ib)", (self.BTN_LEFT, True)))
        self._session_call("NotifyPointerButton", GLib.Variant("(ib)", (self.BTN_LEFT, False)))

    def close(self):
        self._session_call("Stop", None)


# The monitor chooser of xdg-desktop-portal-gnome 43: a fixed-size dialog in the middle of the monitor, one
# row per monitor, Share in its header bar. Offsets from the middle, measured on a screenshot of it on a
# 1920x1080 monitor at scale 1; at scale 2 (mutter's physical layout) the dialog is twice the size.
CHOOSER_ROW = (-1, 41)
CHOOSER_SHARE = (190, -111)
CHOOSER_BODY = (0, -70)


def monitor_scale(bus):
    """The first logical monitor's (x, y, width, height, scale) in screen pixels."""
    dc = "org.gnome.Mutter.DisplayConfig"
    _serial, monitors, logical, _props = call(bus, dc, "/org/gnome/Mutter/DisplayConfig", dc, "GetCurrentState",
                                              None).unpack()
    x, y, scale = logical[0][0], logical[0][1], logical[0][2]
    mode = [m for m in monitors[0][1] if m[6].get("is-current")][0]
    return x, y, mode[1], mode[2], scale


def chooser_points(bus, middle=None):
    """The chooser's row, Share and body points, and a corner away from it. middle: where the dialog's
    middle is (the monitor's middle unless given)."""
    x, y, w, h, scale = monitor_scale(bus)
    mx, my = middle if middle else (x + w / 2, y + h / 2)

    def at(offset):
        return int(mx + offset[0] * scale), int(my + offset[1] * scale)

    return at(CHOOSER_ROW), at(CHOOSER_SHARE), at(CHOOSER_BODY), (x + 5, y + h - 5)


def find_chooser_middle(bus, shot):
    """Where the shown chooser's middle is: the dialog opens in the monitor's middle with nothing focused,
    but beside a focused window otherwise. Found by its insensitive Share button, a block of its pale blue
    in a pale body; None while there is none."""
    _x, _y, _w, _h, scale = monitor_scale(bus)
    w, h, _raw = shot
    button = int(8 * scale)
    for py in range(0, h - button, 4):
        for px in range(0, w - button, 4):
            body = (int(px + (CHOOSER_BODY[0] - CHOOSER_SHARE[0]) * scale),
                    int(py + (CHOOSER_BODY[1] - CHOOSER_SHARE[1]) * scale))
            if 0 <= body[0] < w and 0 <= body[1] < h and all(chooser_state(shot, (px + dx, py + dy), body) == "shown"
                                    for dx in (0, button) for dy in (0, button // 2)):
                # The button's middle, which the offsets name, from the extent of its colour.
                def pale(point):
                    return chooser_state(shot, point, body) == "shown"
                right, bottom, left, top = px, py, px, py
                while right + 1 < w and pale((right + 1, py)):
                    right += 1
                while left > 0 and pale((left - 1, py)):
                    left -= 1
                while bottom + 1 < h and pale((px, bottom + 1)):
                    bottom += 1
                while top > 0 and pale((px, top - 1)):
                    top -= 1
                return (left + right) / 2 - CHOOSER_SHARE[0] * scale, (top + bottom) / 2 - CHOOSER_SHARE[1] * scale
    return None


def chooser_state(shot, share_at, body_at):
    """'absent', 'shown' (Share insensitive) or 'ready' (a row chosen, Share sensitive)."""
    body = pixel(shot, *body_at)
    share = pixel(shot, *share_at)
    if min(body) < 240:
        return "absent"
    if share[2] > 200 and share[0] < 100:
        return "ready"
    if share[2] > 200 and 120 < share[0] < 180:
        return "shown"
    return "absent"


def pass_chooser(bus, timeout_s=30):
    """Waits for the ScreenCast monitor chooser, picks the monitor and presses Share. Return does not
    pass it, so this clicks. Returns the seconds it took."""
    t0 = time.monotonic()
    deadline = t0 + timeout_s
    row_at, share_at, body_at, corner = chooser_points(bus)
    while chooser_state(screenshot(bus), share_at, body_at) != "shown":
        middle = find_chooser_middle(bus, screenshot(bus))
        if middle:
            row_at, share_at, body_at, corner = chooser_points(bus, middle)
        elif time.monotonic() > deadline:
            sys.exit("no monitor chooser shown")

    def wait_state(want):
        while True:
            shot = screenshot(bus)
            state = chooser_state(shot, share_at, body_at)
            if state == want:
                return shot
            if time.monotonic() > deadline:
                sys.exit("the monitor chooser stays %s, not %s" % (state, want))

    def click_when_hovered(shot, point):
        # The row and the button change colour under the pointer: that shows the move has landed.
        before = pixel(shot, *point)
        pointer.move(*point)
        while pixel(screenshot(bus), *point) == before:
            if time.monotonic() > deadline:
                sys.exit("the pointer does not reach %s" % (point,))
        pointer.click()

    pointer = MutterPointer(bus)
    try:
        # Away from the dialog, so hovering its row is a change to see.
        pointer.move(*corner)
        click_when_hovered(wait_state("shown"), row_at)
        click_when_hovered(wait_state("ready"), share_at)
    finally:
        pointer.close()
    return time.monotonic() - t0
