#pragma once
// Placeholder until the native overlay window lands.
#include <QQuickWindow>
class NativeOverlayWindow : public QQuickWindow
{
    Q_OBJECT
public:
    explicit NativeOverlayWindow(QWindow *parent = nullptr) : QQuickWindow(parent) {}
};
