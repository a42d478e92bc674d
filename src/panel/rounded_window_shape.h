#pragma once

// A window with rounded corners shows them only where the desktop can show
// transparent pixels. Where it cannot (X11 without a compositing manager, where
// they would show black), the window is cut to the rounded rectangle this item
// covers, as the overlays are cut to what they draw; under a compositing
// manager, and on other systems, the window keeps its full shape.

#include <QList>
#include <QPointer>
#include <QQuickItem>
#include <QRect>
#include <QSize>
#include <QtQml/qqmlregistration.h>
#include <memory>

class OverlayPlatform;
class QQuickWindow;

class RoundedWindowShape : public QQuickItem
{
    Q_OBJECT
    QML_ELEMENT
    // The corners' radius, in logical pixels.
    Q_PROPERTY(qreal radius READ radius WRITE setRadius NOTIFY radiusChanged)

public:
    explicit RoundedWindowShape(QQuickItem *parent = nullptr);
    ~RoundedWindowShape() override;

    qreal radius() const { return m_radius; }
    void setRadius(qreal value);

    // The pixels of a rounded rectangle of `size` native pixels whose centres lie
    // inside it, as rectangles of whole rows; `radius` in native pixels.
    static QList<QRect> roundedRectangle(const QSize &size, qreal radius);

signals:
    void radiusChanged();

protected:
    void geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry) override;
    void itemChange(ItemChange change, const ItemChangeData &value) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void watchWindow(QQuickWindow *window);
    void apply();

    qreal m_radius = 0;
    QPointer<QQuickWindow> m_window;
    std::unique_ptr<OverlayPlatform> m_platform;
};
