#pragma once
// The list of displays the GUI application knows, each with a stable identifier
// that survives moving, resizing and rescaling, and notification of displays that
// are connected, disconnected, moved or rescaled.

#include <QObject>
#include <QString>
#include <QVariantList>

class QScreen;

class DisplayTopologyAdapter : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QVariantList displays READ displays NOTIFY displaysChanged)

public:
    explicit DisplayTopologyAdapter(QObject *parent = nullptr);

    // The current display records; reading never refreshes.
    QVariantList displays() const;

    // Rebuilds the display list from the application's screens and always
    // announces it with displaysChanged, even when nothing differs.
    Q_INVOKABLE void refresh();

    // Sixteen lower-case hex digits derived from the screen's manufacturer,
    // model, serial number and name. A null screen has no identity: the result
    // is then empty, which never matches a display a caliper was drawn on.
    static QString stableIdFor(const QScreen *screen);

signals:
    void displaysChanged();
    void displayAdded(const QString &stableId);
    void displayRemoved(const QString &stableId);
    void displayGeometryChanged(const QString &stableId);
    void displayScaleChanged(const QString &stableId);

private:
    void watchScreen(QScreen *screen);
    void unwatchScreen(QScreen *screen);
    void handleScreenAdded(QScreen *screen);
    void handleScreenRemoved(QScreen *screen);

    QVariantList m_displays;
};
