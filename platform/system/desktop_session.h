#pragma once

// Whether the desktop is a Wayland one (XDG_SESSION_TYPE=wayland, or WAYLAND_DISPLAY set), on which
// the program runs as an X client of XWayland and sees the screen only through the desktop portals.
bool onWaylandDesktop();

// Makes Qt use its X11 platform whatever the desktop asks for: the frame, the hot keys and the window
// stacking are X11's. Call before the application object is made.
void chooseX11Platform();

// Whether the desktop tiles every window it manages (sway), so that a window that places itself must
// be one it does not manage: such desktops ignore where an X client asks its windows to be.
bool tilesManagedWindows();
