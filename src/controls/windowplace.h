#pragma once

// Where a window of the console opens: within the screen it opens on, centred over the window
// it belongs to, and out of the way of what it points at.

#include <QRect>

class QWidget;

namespace halyx {

// size shrunk to fit screen, centred over over (or the screen when over is empty), and kept on
// the screen.
QRect CentredRect(QSize size, const QRect& over, const QRect& screen);
// A place for a window of size next to avoid (below, above, right or left of it, the first in
// which it fits whole), on the screen. Where it fits nowhere whole, the side with the most room,
// the window cut down to that room.
QRect BesideRect(QSize size, const QRect& avoid, const QRect& screen);

// Sizes window to fit the available area of the screen over's window is on (the primary screen
// without over) and centres it over that window. Frame sizes are allowed for.
void PlaceWindow(QWidget* window, const QWidget* over);
// Moves window (already shown) next to avoid, given in global coordinates, when it covers it.
void MoveBeside(QWidget* window, const QRect& avoid);

} // namespace halyx
