#pragma once

#include <QObject>
#include <QVariantList>

// Helpers the QML tests reach as the context property "testSupport".
class TestSupport : public QObject
{
    Q_OBJECT
public:
    explicit TestSupport(QObject *parent = nullptr);

    // Replaces the emulated screens of the offscreen platform; the real
    // QGuiApplication screen signals fire. Each element: name, x, y, width,
    // height and optionally logicalDpi (base 96).
    Q_INVOKABLE bool setScreens(const QVariantList &screens);

    // Makes the named locale (such as "de_DE") the default of objects created
    // from now on, as if the system were set to it; returns the previous name.
    Q_INVOKABLE QString setDefaultLocale(const QString &name);

    // Puts text on the clipboard, for a paste as the user makes it (Ctrl+V).
    Q_INVOKABLE void setClipboardText(const QString &text);
};
