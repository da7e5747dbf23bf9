#pragma once

class QDialog;
class QWidget;

// Stacking of top-level windows. Each function acts on the top-level window that holds the widget
// given, and changes nothing but the stacking and the focus: the window is never hidden,
// re-created, moved or resized.
namespace window_stack {

// Keeps the window above normal windows (topmost) or lets other windows cover it again.
// With a window manager the manager is asked (it keeps the window above for as long as the state
// is set); without one the state is recorded on the window and the window is raised once, so a
// window raised later can still cover it. Safe before the window is shown: the state applies
// when it appears. The state holds through hiding and showing the window again.
void setTopmost(QWidget* window, bool topmost);

// Keeps the window topmost, whatever setTopmost asks later, until keepTopmost(window, false): the frame
// on a Wayland desktop, where any window of the desktop's own would otherwise cover it once it takes
// the keyboard. Let go, the window is no longer topmost.
void keepTopmost(QWidget* window, bool keep = true);

// Whether the window carries the topmost state. With a window manager the manager sets it, so
// after setTopmost on a shown window this follows once the manager has acted on the request.
bool isTopmost(const QWidget* window);

// Raises the window and gives it the keyboard focus. A minimized window stays minimized.
void bringToForeground(QWidget* window);

// Restores the window if it is minimized, then brings it to the foreground.
void restoreToForeground(QWidget* window);

// Shows the window as one opened from opener: the window manager keeps it above opener (and
// above nothing else on that account), and it takes the keyboard focus.
void showOver(QWidget* window, QWidget* opener);

// Lets window events run until the window is mapped and painted, for at most a second: for a window
// shown just before work that lets no events through, which would otherwise stay blank, and leave
// what covered the windows behind it painted there, until that work lets events run.
void waitUntilPainted(QWidget* window);

// Runs the dialog modally as one opened from opener (kept above it, with the keyboard focus), then
// gives the focus back to opener, or with no opener to the window that had it, and returns the
// dialog's result. Qt asks for the focus of a modal dialog with the time of the last event it saw,
// which a focus change made since (a hot key, a raise after a capture) outdates, and without a
// window manager nothing gives the focus back.
int execInForeground(QDialog& dialog, QWidget* opener = nullptr);

// Call when a window has been restored from minimized. Qt marks a window it minimizes to start
// minimized, and keeps that mark when the window manager restores it instead of Qt, so the next
// show of the window would minimize it again; this clears the mark.
void clearMinimizedStart(QWidget* window);

}  // namespace window_stack
