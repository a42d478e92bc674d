#pragma once
// The windowing system's side of moving a window: its interactive move, where a
// move is handed to it (the program learns of its end only from the system),
// and the window's place as the system has it.

#include <QRect>
#include <optional>

class QByteArray;
class QWindow;

// Whether a native event says that the system's move of the window has ended:
// WM_EXITSIZEMOVE on Windows. Elsewhere no event does.
bool endsSystemMove(QWindow &window, const QByteArray &eventType, const void *message);

// Where the windowing system has the window, in the desktop's pixels, where it
// can be asked: Qt's own idea lags behind, or stays a pixel off, after a move
// across displays of another scale. Nothing where it cannot be asked.
std::optional<QRect> systemGeometry(const QWindow &window);

// Asks the windowing system to put the window there, in the desktop's pixels,
// whatever Qt believes of its place; false where it cannot be asked.
bool setSystemGeometry(const QWindow &window, const QRect &geometry);
