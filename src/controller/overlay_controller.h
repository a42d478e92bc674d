#pragma once
// Placeholder until the controller lands.
#include <QObject>
class OverlayController : public QObject
{
    Q_OBJECT
public:
    explicit OverlayController(QObject *parent = nullptr) : QObject(parent) {}
public slots:
    void handleDisplayInvalidated(const QString &) {}
};
