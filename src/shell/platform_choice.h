#pragma once

// The overlays need global window positions, stay-on-top and input shapes.
// Qt has them on Windows and on X11 (also through XWayland), not from its
// Wayland platform, so a Wayland session runs the program on xcb.

#include <QByteArray>

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

// Applies the choice for this process before the application object exists.
// Returns false, after one line on stderr, when the program cannot run here.
[[nodiscard]] bool selectPlatformForOverlays();
