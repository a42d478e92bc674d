#include "rounded_window_shape.h"

#include "overlay_platform.h"

#include <QPlatformSurfaceEvent>
#include <QQuickWindow>
#include <QRegion>
#include <algorithm>
#include <cmath>

RoundedWindowShape::RoundedWindowShape(QQuickItem *parent) : QQuickItem(parent)
{
    // Made inside a window already, the item saw its scene change before it
    // was one.
    watchWindow(window());
}

RoundedWindowShape::~RoundedWindowShape()
{
    if (m_window)
        m_window->removeEventFilter(this);
}

void RoundedWindowShape::setRadius(qreal value)
{
    if (!std::isfinite(value) || value < 0)
        value = 0;
    if (qFuzzyCompare(value, m_radius))
        return;
    m_radius = value;
    emit radiusChanged();
    apply();
}

QList<QRect> RoundedWindowShape::roundedRectangle(const QSize &size, qreal radius)
{
    if (size.isEmpty())
        return {};
    const int width = size.width();
    const int height = size.height();
    const qreal r = std::isfinite(radius)
                        ? std::clamp(radius, qreal(0), qreal(std::min(width, height)) / 2)
                        : qreal(0);
    // The rows that the corners cut into, from the top; the bottom mirrors them.
    const int cornerRows = std::min(int(std::ceil(r)), height / 2);
    QList<QRect> rows;
    QList<QRect> bottom;
    for (int y = 0; y < cornerRows; ++y) {
        const qreal above = r - (y + 0.5); // from the row's centre up to the arcs' centres
        const qreal half = above > 0 ? std::sqrt(r * r - above * above) : r;
        const int inset = std::max(0, int(std::ceil(r - half - 0.5)));
        if (inset * 2 >= width)
            continue;
        if (!rows.isEmpty() && rows.last().x() == inset) {
            rows.last().setBottom(y);
            bottom.last().setTop(height - 1 - y);
        } else {
            rows << QRect(inset, y, width - 2 * inset, 1);
            bottom << QRect(inset, height - 1 - y, width - 2 * inset, 1);
        }
    }
    if (height > 2 * cornerRows)
        rows << QRect(0, cornerRows, width, height - 2 * cornerRows);
    std::reverse(bottom.begin(), bottom.end());
    return rows + bottom;
}

void RoundedWindowShape::geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry)
{
    QQuickItem::geometryChange(newGeometry, oldGeometry);
    apply();
}

void RoundedWindowShape::itemChange(ItemChange change, const ItemChangeData &value)
{
    if (change == ItemSceneChange)
        watchWindow(value.window);
    QQuickItem::itemChange(change, value);
}

void RoundedWindowShape::watchWindow(QQuickWindow *window)
{
    if (window == m_window)
        return;
    if (m_window) {
        m_window->removeEventFilter(this);
        disconnect(m_window, nullptr, this, nullptr);
    }
    m_window = window;
    m_platform.reset();
    if (!m_window)
        return;
    m_platform = createDrawnShapePlatform();
    m_window->installEventFilter(this);
    // The same logical size is another number of pixels on another display.
    connect(m_window, &QWindow::screenChanged, this, &RoundedWindowShape::apply);
    apply();
}

bool RoundedWindowShape::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window && event->type() == QEvent::PlatformSurface
        && static_cast<QPlatformSurfaceEvent *>(event)->surfaceEventType()
               == QPlatformSurfaceEvent::SurfaceCreated) {
        // Before the window is first shown, so that no corner ever shows black.
        apply();
    }
    return QQuickItem::eventFilter(watched, event);
}

void RoundedWindowShape::apply()
{
    if (!m_window || !m_platform || !m_platform->usesDrawnShape()
        || !m_platform->nativeWindowExists(*m_window))
        return;
    const qreal ratio = m_platform->devicePixelRatio(*m_window);
    const QRectF covered = mapRectToScene(boundingRect());
    const QPoint origin(qRound(covered.x() * ratio), qRound(covered.y() * ratio));
    const QSize size(qRound(covered.width() * ratio), qRound(covered.height() * ratio));
    QRegion shape;
    for (const QRect &r : roundedRectangle(size, m_radius * ratio))
        shape += r.translated(origin);
    // The drawn shape first: the mask alone would leave an empty shape meanwhile.
    m_platform->setDrawnShape(*m_window, shape);
    m_platform->setMask(*m_window, QRegion());
}
