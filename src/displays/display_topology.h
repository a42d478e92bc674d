#pragma once
// Placeholder until the display topology lands.
#include <QObject>
class DisplayTopologyAdapter : public QObject
{
    Q_OBJECT
public:
    explicit DisplayTopologyAdapter(QObject *parent = nullptr) : QObject(parent) {}
signals:
    void displayRemoved(const QString &stableId);
    void displayScaleChanged(const QString &stableId);
};
