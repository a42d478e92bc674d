#include "test_support.h"

#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <qpa/qplatformnativeinterface.h>

TestSupport::TestSupport(QObject *parent) : QObject(parent) {}

bool TestSupport::setScreens(const QVariantList &screens)
{
    using SetConfiguration = void (*)(const QJsonObject &, QPlatformNativeInterface *);
    QPlatformNativeInterface *native = QGuiApplication::platformNativeInterface();
    if (!native)
        return false;
    // The offscreen platform hands the function out as a plain pointer.
    void *resource = native->nativeResourceForIntegration("setConfiguration");
    auto set = reinterpret_cast<SetConfiguration>(reinterpret_cast<quintptr>(resource));
    if (!set)
        return false;
    QJsonArray list;
    for (const QVariant &v : screens) {
        QJsonObject s = QJsonObject::fromVariantMap(v.toMap());
        if (!s.contains(QStringLiteral("logicalDpi")))
            s.insert(QStringLiteral("logicalDpi"), 96);
        s.insert(QStringLiteral("logicalBaseDpi"), 96);
        if (!s.contains(QStringLiteral("dpr")))
            s.insert(QStringLiteral("dpr"), 1);
        list.append(s);
    }
    set(QJsonObject{{QStringLiteral("screens"), list}}, native);
    return true;
}
