#include "platform_choice.h"

#include <QtGlobal>
#include <cstdio>
#include <cstring>

#ifdef ZRN_HAVE_XCB_SHAPE
#include <xcb/xcb.h>
#endif

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

bool startsOnXcbAlone(const QByteArray &qpaPlatform)
{
    const QByteArray named = qpaPlatform.trimmed().toLower();
    if (named.contains(';'))
        return false;
    // Platform arguments follow a colon: "xcb:nograb".
    const qsizetype colon = named.indexOf(':');
    const QByteArray name = colon < 0 ? named : named.left(colon);
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    return name.isEmpty() || name == "xcb";
#else
    return name == "xcb";
#endif
}

QString noDisplayMessage(const QByteArray &x11Display)
{
    if (x11Display.isEmpty())
        return QStringLiteral("ZRN Calipers could not open a display: DISPLAY is not set.");
    return QStringLiteral("ZRN Calipers could not open the display \"%1\": no X server or "
                          "no such screen there.")
        .arg(QString::fromLocal8Bit(x11Display));
}

#ifdef ZRN_HAVE_XCB_SHAPE
namespace {

// The value of one of Qt's own options ("-platform xcb", also "--platform"),
// or null when it is not given.
QByteArray qtOption(int argc, char **argv, const char *name)
{
    QByteArray value;
    for (int i = 1; argv && i + 1 < argc; ++i) {
        const char *arg = argv[i];
        if (std::strncmp(arg, "--", 2) == 0)
            ++arg;
        if (arg[0] == '-' && std::strcmp(arg + 1, name) == 0)
            value = argv[i + 1];
    }
    return value;
}

// Whether an X server answers on the display and has the screen it names.
bool displayOpens(const QByteArray &display)
{
    if (display.isEmpty())
        return false;
    int screen = 0;
    xcb_connection_t *connection = xcb_connect(display.constData(), &screen);
    const bool opened = !xcb_connection_has_error(connection)
                        && screen < xcb_setup_roots_length(xcb_get_setup(connection));
    xcb_disconnect(connection);
    return opened;
}

} // namespace
#endif

bool selectPlatformForOverlays(int argc, char **argv)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    switch (choosePlatform(platform, qgetenv("XDG_SESSION_TYPE"), qgetenv("WAYLAND_DISPLAY"),
                           qgetenv("DISPLAY"))) {
    case PlatformChoice::AsIs:
        break;
    case PlatformChoice::UseXcb:
        qputenv("QT_QPA_PLATFORM", "xcb");
        platform = "xcb";
        break;
    case PlatformChoice::NoX11:
        std::fputs("ZRN Calipers needs X11: this Wayland session has no X server (DISPLAY is "
                   "not set); enable XWayland or log in to an X11 session.\n",
                   stderr);
        return false;
    }
#ifdef ZRN_HAVE_XCB_SHAPE
    // Qt's own options win over the environment.
    if (const QByteArray named = qtOption(argc, argv, "platform"); !named.isNull())
        platform = named;
    QByteArray display = qtOption(argc, argv, "display");
    if (display.isNull())
        display = qgetenv("DISPLAY");
    if (startsOnXcbAlone(platform) && !displayOpens(display)) {
        std::fprintf(stderr, "%s\n", qPrintable(noDisplayMessage(display)));
        return false;
    }
#else
    Q_UNUSED(argc);
    Q_UNUSED(argv);
#endif
#else
    Q_UNUSED(argc);
    Q_UNUSED(argv);
#endif
    return true;
}
