#pragma once

// The overlays need global window positions, stay-on-top and input shapes.
// Qt has them on Windows and on X11 (also through XWayland), not from its
// Wayland platform, so a Wayland session runs the program on xcb. Without a
// display to open, Qt's xcb platform would abort the program; it says so in
// one line instead.

#include <QByteArray>
#include <QString>

enum class PlatformChoice {
    AsIs,   // the platform Qt would choose, or the one the user named
    UseXcb, // a Wayland session with an X server: run on X11
    NoX11,  // a Wayland session without an X server: cannot run
};

// Decides from the environment: QT_QPA_PLATFORM, XDG_SESSION_TYPE,
// WAYLAND_DISPLAY and DISPLAY. A platform named by the user other than
// Wayland is kept as it is.
[[nodiscard]] PlatformChoice choosePlatform(const QByteArray &qpaPlatform,
                                            const QByteArray &sessionType,
                                            const QByteArray &waylandDisplay,
                                            const QByteArray &x11Display);

// Whether Qt starts on xcb with nothing to fall back on, for the platform
// named (empty: Qt's default, xcb on Linux): then a display that can't be
// opened ends the program. A list of platforms ("xcb;offscreen") has a
// fallback and is left to Qt.
[[nodiscard]] bool startsOnXcbAlone(const QByteArray &qpaPlatform);

// The one line said when the X display can't be opened: which one, or that
// DISPLAY is not set.
[[nodiscard]] QString noDisplayMessage(const QByteArray &x11Display);

// Applies the choice for this process before the application object exists,
// and makes sure that an X display Qt is going to need can be opened. The
// arguments are the program's, where Qt's own -platform and -display count.
// Returns false, after one line on stderr, when the program cannot run here.
[[nodiscard]] bool selectPlatformForOverlays(int argc, char **argv);
