#pragma once

class QWidget;

// Stacking of top-level windows. Each function acts on the top-level window that holds the widget
// given, and changes nothing but the stacking and the focus: the window is never hidden,
// re-created, moved or resized.
namespace window_stack {

// Keeps the window above normal windows (topmost) or lets other windows cover it again.
// With a window manager the manager is asked (it keeps the window above for as long as the state
// is set); without one the state is recorded on the window and the window is raised once, so a
// window raised later can still cover it. Safe before the window is shown: the state applies
// when it appears.
void setTopmost(QWidget* window, bool topmost);

// Whether the window carries the topmost state. With a window manager the manager sets it, so
// after setTopmost on a shown window this follows once the manager has acted on the request.
bool isTopmost(const QWidget* window);

// Raises the window and gives it the keyboard focus.
void bringToForeground(QWidget* window);

}  // namespace window_stack
