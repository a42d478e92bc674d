#include "application_identity.h"

#include <QGuiApplication>
#include <QIcon>

void applyApplicationIdentity()
{
    QGuiApplication::setOrganizationName(QStringLiteral("Halvern Lab"));
    QGuiApplication::setApplicationName(QStringLiteral("ZRN Calipers"));
    QGuiApplication::setApplicationVersion(QLatin1String("3.2.0"));
    QGuiApplication::setWindowIcon(
        QIcon(QStringLiteral(":/qt/qml/ZRNCalipers/assets/calipers-icon.png")));
}
