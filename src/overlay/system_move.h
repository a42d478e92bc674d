#pragma once
// The system's interactive move of a window, where a move is handed to it: the
// program learns of its end only from the windowing system.

class QByteArray;
class QWindow;

// Whether a native event says that the system's move of the window has ended:
// WM_EXITSIZEMOVE on Windows. Elsewhere no event does.
bool endsSystemMove(QWindow &window, const QByteArray &eventType, const void *message);
