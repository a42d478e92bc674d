#include "platform_choice.h"

#include <QtGlobal>
#include <cstdio>

PlatformChoice choosePlatform(const QByteArray &qpaPlatform, const QByteArray &sessionType,
                              const QByteArray &waylandDisplay, const QByteArray &x11Display)
{
    const QByteArray named = qpaPlatform.trimmed().toLower();
    bool wayland = false;
    if (!named.isEmpty())
        wayland = named.startsWith("wayland"); // also "wayland-egl" and "wayland;xcb"
    else
        wayland = sessionType.trimmed().toLower() == "wayland" || !waylandDisplay.isEmpty();
    if (!wayland)
        return PlatformChoice::AsIs;
    return x11Display.isEmpty() ? PlatformChoice::NoX11 : PlatformChoice::UseXcb;
}

bool selectPlatformForOverlays()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    switch (choosePlatform(qgetenv("QT_QPA_PLATFORM"), qgetenv("XDG_SESSION_TYPE"),
                           qgetenv("WAYLAND_DISPLAY"), qgetenv("DISPLAY"))) {
    case PlatformChoice::AsIs:
        return true;
    case PlatformChoice::UseXcb:
        qputenv("QT_QPA_PLATFORM", "xcb");
        return true;
    case PlatformChoice::NoX11:
        std::fputs("ZRN Calipers needs X11: this Wayland session has no X server (DISPLAY is "
                   "not set); enable XWayland or log in to an X11 session.\n",
                   stderr);
        return false;
    }
#endif
    return true;
}
