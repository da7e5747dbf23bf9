#!/usr/bin/python3
"""A window of the desktop's own (GTK on Wayland), one colour (0, 204, 0), most of the screen: what the
frame must stay above when it takes the keyboard."""
import gi

gi.require_version("Gtk", "3.0")
gi.require_version("Gdk", "3.0")
from gi.repository import Gdk, Gtk  # noqa: E402

style = Gtk.CssProvider()
style.load_from_data(b"window { background-color: rgb(0, 204, 0); }")
Gtk.StyleContext.add_provider_for_screen(Gdk.Screen.get_default(), style,
                                         Gtk.STYLE_PROVIDER_PRIORITY_APPLICATION)
window = Gtk.Window(title="native")
window.set_default_size(1700, 900)
window.connect("destroy", Gtk.main_quit)
window.show_all()
Gtk.main()
