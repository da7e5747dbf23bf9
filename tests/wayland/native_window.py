#!/usr/bin/python3
"""A window of the desktop's own (GTK on Wayland), most of the screen, in one colour: (0, 204, 0), or with
"cycle" a colour of COLOURS that changes every second, in that order round and round, or with "animate"
a grey that changes at every frame the desktop draws, by a step that 16-bit colour keeps: what the frame
stays above, and what a recording shows changing."""
import sys

import gi

gi.require_version("Gtk", "3.0")
gi.require_version("Gdk", "3.0")
from gi.repository import Gdk, GLib, Gtk  # noqa: E402

COLOURS = ["rgb(204, 0, 0)", "rgb(0, 204, 0)", "rgb(0, 0, 204)", "rgb(204, 204, 0)", "rgb(0, 204, 204)",
           "rgb(204, 0, 204)"]

style = Gtk.CssProvider()
Gtk.StyleContext.add_provider_for_screen(Gdk.Screen.get_default(), style,
                                         Gtk.STYLE_PROVIDER_PRIORITY_APPLICATION)
shown = [0 if len(sys.argv) > 1 and sys.argv[1] == "cycle" else 1]


def paint():
    style.load_from_data(("window { background-color: %s; }" % COLOURS[shown[0] % len(COLOURS)]).encode())


def next_colour():
    shown[0] += 1
    paint()
    return True


def next_grey(_widget, _clock):
    shown[0] += 1
    level = (shown[0] * 8) % 256
    style.load_from_data(("window { background-color: rgb(%d, %d, %d); }" % (level, level, level)).encode())
    return True


paint()
mode = sys.argv[1] if len(sys.argv) > 1 else ""
if mode == "cycle":
    GLib.timeout_add(1000, next_colour)
window = Gtk.Window(title="native")
window.set_default_size(1700, 900)
window.connect("destroy", Gtk.main_quit)
if mode == "animate":
    window.add_tick_callback(next_grey)
window.show_all()
Gtk.main()
