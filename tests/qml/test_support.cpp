#include "test_support.h"

#include "screen_emulation.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QLocale>

TestSupport::TestSupport(QObject *parent) : QObject(parent) {}

bool TestSupport::setScreens(const QVariantList &screens)
{
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
    return applyEmulatedScreens(list);
}

QString TestSupport::setDefaultLocale(const QString &name)
{
    const QString previous = QLocale().name();
    QLocale::setDefault(QLocale(name));
    return previous;
}

void TestSupport::setClipboardText(const QString &text)
{
    QGuiApplication::clipboard()->setText(text);
}
