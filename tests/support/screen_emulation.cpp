#include "screen_emulation.h"

#include <QGuiApplication>
#include <QJsonObject>
#include <qpa/qplatformnativeinterface.h>
#include <qpa/qwindowsysteminterface.h>

bool applyEmulatedScreens(const QJsonArray &screens)
{
    using SetConfiguration = void (*)(const QJsonObject &, QPlatformNativeInterface *);
    QPlatformNativeInterface *native = QGuiApplication::platformNativeInterface();
    if (!native)
        return false;
    // The offscreen platform hands the function out as a plain pointer.
    auto set = reinterpret_cast<SetConfiguration>(
        reinterpret_cast<quintptr>(native->nativeResourceForIntegration("setConfiguration")));
    if (!set)
        return false;
    set(QJsonObject{{QStringLiteral("screens"), screens}}, native);
    QWindowSystemInterface::flushWindowSystemEvents();
    return true;
}
