#include "window_move_area.h"

#include "system_move.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QQuickWindow>
#include <QRegion>
#include <QScreen>
#include <algorithm>
#include <limits>

namespace {

// How long a window has to keep still after a move before its place is
// checked, and how often it is put back.
constexpr int kSettleMs = 150;
constexpr int kSettleTries = 10;

// Clamped to [low, high]; where the range is empty, low wins.
int clampLowFirst(int value, int low, int high)
{
    return std::max(low, std::min(value, high));
}

// A display in Qt's global coordinates and in the desktop's pixels.
struct DesktopDisplay
{
    QScreen *screen = nullptr;
    QRect logical;
    QRect native;
    QRect available; // native
    qreal ratio = 1;

    QPointF toNative(QPointF logicalPoint) const
    {
        return native.topLeft() + (logicalPoint - logical.topLeft()) * ratio;
    }
    QPoint toLogical(QPoint nativePoint) const
    {
        return logical.topLeft() + ((nativePoint - native.topLeft()) / ratio);
    }
    QRect nativeWindow(QPoint nativeTopLeft, QSize logicalSize) const
    {
        return QRect(nativeTopLeft, (QSizeF(logicalSize) * ratio).toSize());
    }
};

QList<DesktopDisplay> desktopDisplays()
{
    QList<DesktopDisplay> out;
    for (QScreen *screen : QGuiApplication::screens()) {
        DesktopDisplay d;
        d.screen = screen;
        d.logical = screen->geometry();
        d.ratio = screen->devicePixelRatio() > 0 ? screen->devicePixelRatio() : 1;
        // A display's logical and device pixels start at the same point.
        d.native = QRect(d.logical.topLeft(), (QSizeF(d.logical.size()) * d.ratio).toSize());
        const QRect available = screen->availableGeometry();
        d.available = QRect(d.toNative(available.topLeft()).toPoint(),
                            (QSizeF(available.size()) * d.ratio).toSize());
        out << d;
    }
    return out;
}

QList<QRect> nativeGeometries(const QList<DesktopDisplay> &displays)
{
    QList<QRect> out;
    for (const DesktopDisplay &d : displays)
        out << d.native;
    return out;
}

// The display showing a logical point: the one containing it, else the nearest.
const DesktopDisplay *displayAt(const QList<DesktopDisplay> &displays, QPointF logicalPoint)
{
    const DesktopDisplay *best = nullptr;
    double bestDistance = std::numeric_limits<double>::max();
    for (const DesktopDisplay &d : displays) {
        const QRectF r(d.logical);
        const double dx
            = std::max({r.left() - logicalPoint.x(), 0.0, logicalPoint.x() - r.right()});
        const double dy
            = std::max({r.top() - logicalPoint.y(), 0.0, logicalPoint.y() - r.bottom()});
        const double distance = dx * dx + dy * dy;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = &d;
        }
    }
    return best;
}

const DesktopDisplay *displayOf(const QList<DesktopDisplay> &displays, const QScreen *screen)
{
    for (const DesktopDisplay &d : displays)
        if (d.screen == screen)
            return &d;
    return nullptr;
}

qint64 squaredDistance(QPoint a, QPoint b)
{
    const qint64 dx = a.x() - b.x();
    const qint64 dy = a.y() - b.y();
    return dx * dx + dy * dy;
}

// The nearest position at which `inner`, a part of the window at `offset`
// from its corner, lies inside one of the areas.
QPoint nearestFitting(const QRect &window, const QRect &inner, const QList<QRect> &areas)
{
    const QPoint offset = inner.topLeft() - window.topLeft();
    QPoint best = window.topLeft();
    qint64 bestDistance = std::numeric_limits<qint64>::max();
    for (const QRect &area : areas) {
        const int x = clampLowFirst(inner.x(), area.x(), area.x() + area.width() - inner.width());
        const int y = clampLowFirst(inner.y(), area.y(), area.y() + area.height() - inner.height());
        const QPoint candidate = QPoint(x, y) - offset;
        const qint64 distance = squaredDistance(candidate, window.topLeft());
        if (distance < bestDistance) {
            bestDistance = distance;
            best = candidate;
        }
    }
    return best;
}

} // namespace

WindowMoveArea::WindowMoveArea(QQuickItem *parent) : QQuickItem(parent)
{
    setAcceptedMouseButtons(Qt::LeftButton);
    // Several screen signals come for one change of the displays; the window
    // system has placed the window anew by the time the events are handled.
    m_displaysChanged.setSingleShot(true);
    m_displaysChanged.setInterval(0);
    connect(&m_displaysChanged, &QTimer::timeout, this, &WindowMoveArea::keepOnDisplays);
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    connect(&m_settle, &QTimer::timeout, this, &WindowMoveArea::settle);
    for (QScreen *screen : QGuiApplication::screens())
        followScreen(screen);
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [this](QScreen *screen) {
        followScreen(screen);
        m_displaysChanged.start();
    });
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, [this] { m_displaysChanged.start(); });
    // Made inside a window already, the item saw its scene change before it
    // was one.
    watchWindow(window());
}

WindowMoveArea::~WindowMoveArea()
{
    if (m_filterInstalled && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

void WindowMoveArea::setOverhang(int value)
{
    value = std::max(0, value);
    if (value == m_overhang)
        return;
    m_overhang = value;
    emit overhangChanged();
}

QPoint WindowMoveArea::keptOnDisplays(const QRect &window, const QList<QRect> &displays,
                                      int overhang)
{
    if (displays.isEmpty() || window.isEmpty())
        return window.topLeft();
    // The part of the window that has to stay on the displays: all of it but
    // the overhang at its left, right and bottom, at least its middle pixel.
    const int side = std::clamp(overhang, 0, (window.width() - 1) / 2);
    const int bottom = std::clamp(overhang, 0, window.height() - 1);
    const QRect inner = window.adjusted(side, 0, -side, -bottom);
    QRegion desktop;
    for (const QRect &d : displays)
        desktop += d;
    if (QRegion(inner).subtracted(desktop).isEmpty())
        return window.topLeft();
    return nearestFitting(window, inner, displays);
}

QPoint WindowMoveArea::ontoDisplay(const QRect &window, const QList<QRect> &areas)
{
    if (areas.isEmpty())
        return window.topLeft();
    return nearestFitting(window, window, areas);
}

bool WindowMoveArea::systemMoveWorks()
{
    const QString name = QGuiApplication::platformName();
    return name == QLatin1String("windows") || name == QLatin1String("direct2d");
}

void WindowMoveArea::mousePressEvent(QMouseEvent *event)
{
    QWindow *target = window();
    if (event->button() != Qt::LeftButton || !target) {
        event->ignore();
        return;
    }
    event->accept();
    m_grab = event->scenePosition();
    m_systemMove = false;
    m_settleTries = 0;
    m_settle.stop();
    setMoving(true);
    if (systemMoveWorks() && target->startSystemMove()) {
        // The system runs the move now; it tells when it has ended.
        m_systemMove = true;
        if (!m_filterInstalled) {
            QCoreApplication::instance()->installNativeEventFilter(this);
            m_filterInstalled = true;
        }
    }
}

void WindowMoveArea::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_moving || m_systemMove)
        return;
    // A release that never came (the grab went elsewhere) still ends the move.
    if (!(event->buttons() & Qt::LeftButton)) {
        finish();
        return;
    }
    follow(event->globalPosition());
}

void WindowMoveArea::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (m_moving && !m_systemMove)
        follow(event->globalPosition());
    finish();
}

void WindowMoveArea::mouseUngrabEvent()
{
    // During the system's move the grab is the system's; its end comes apart.
    if (!m_systemMove)
        finish();
}

void WindowMoveArea::itemChange(ItemChange change, const ItemChangeData &value)
{
    if (change == ItemSceneChange)
        watchWindow(value.window);
    QQuickItem::itemChange(change, value);
}

void WindowMoveArea::watchWindow(QQuickWindow *window)
{
    if (window == m_window)
        return;
    finish();
    if (m_window)
        disconnect(m_window, nullptr, this, nullptr);
    m_window = window;
    if (!m_window)
        return;
    // While the window settles after a move, each of its changes puts the
    // check off until it has been still for a moment.
    const auto changed = [this] {
        if (m_settleTries > 0 && !m_moving)
            m_settle.start();
    };
    connect(m_window, &QWindow::xChanged, this, changed);
    connect(m_window, &QWindow::yChanged, this, changed);
    connect(m_window, &QWindow::widthChanged, this, changed);
    connect(m_window, &QWindow::heightChanged, this, changed);
    connect(m_window, &QWindow::screenChanged, this, changed);
}

bool WindowMoveArea::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (m_systemMove && m_window && endsSystemMove(*m_window, eventType, message)) {
        // Afterwards: outside the system's handling of its own message.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (!m_systemMove)
                    return;
                finish();
                ungrabMouse();
            },
            Qt::QueuedConnection);
    }
    return false;
}

// The window's corner goes where the point it was taken by lies under the
// pointer, at the scale of the display it comes onto: the one that holds its
// middle then (a window twice as large on a display of scale 2).
void WindowMoveArea::follow(QPointF globalPosition)
{
    QWindow *target = window();
    const QList<DesktopDisplay> displays = desktopDisplays();
    const DesktopDisplay *pointerDisplay = displayAt(displays, globalPosition);
    if (!target || !pointerDisplay)
        return;
    const QPointF pointer = pointerDisplay->toNative(globalPosition);
    const QList<QRect> desktop = nativeGeometries(displays);
    const auto placedOn = [&](const DesktopDisplay &d) {
        QRect r = d.nativeWindow((pointer - m_grab * d.ratio).toPoint(), target->size());
        r.moveTopLeft(keptOnDisplays(r, desktop, qRound(m_overhang * d.ratio)));
        return r;
    };
    const DesktopDisplay *on = pointerDisplay;
    QRect placed = placedOn(*pointerDisplay);
    if (!pointerDisplay->native.contains(placed.center())) {
        for (const DesktopDisplay &d : displays) {
            const QRect r = placedOn(d);
            if (d.native.contains(r.center())) {
                on = &d;
                placed = r;
                break;
            }
        }
    }
    place(on->screen, on->toLogical(placed.topLeft()), placed.topLeft());
}

void WindowMoveArea::place(QScreen *on, QPoint logical, QPoint native)
{
    m_placedOn = on;
    m_placedAt = native;
    if (m_window && logical != m_window->position())
        m_window->setPosition(logical);
}

void WindowMoveArea::finish()
{
    if (!m_moving)
        return;
    const bool wasSystemMove = m_systemMove;
    m_systemMove = false;
    setMoving(false);
    if (wasSystemMove) {
        // The system may have left the window anywhere.
        keepOnDisplays();
    } else {
        m_settleTries = kSettleTries;
        m_settle.start();
    }
}

// Qt on X11 tells a window's display from the notices of its earlier places
// and sizes, which come after a move across displays of another scale; a
// window that is put back to its logical size in the meantime (as the panel
// is) can land a pixel off, or keep the other display's size for a while, and
// Qt may believe it is where it was put. Once the window has been still for a
// moment, it is checked where the windowing system has it, and put back.
void WindowMoveArea::settle()
{
    if (m_moving || !m_window || !m_placedOn || m_settleTries <= 0)
        return;
    const QList<DesktopDisplay> displays = desktopDisplays();
    const DesktopDisplay *wanted = displayOf(displays, m_placedOn);
    if (!wanted)
        return;
    const QRect target = wanted->nativeWindow(m_placedAt, m_window->size());
    const std::optional<QRect> actual = systemGeometry(*m_window);
    QRect now;
    if (actual) {
        now = *actual;
    } else if (const DesktopDisplay *d = displayOf(displays, m_window->screen())) {
        now = d->nativeWindow(d->toNative(m_window->position()).toPoint(), m_window->size());
    } else {
        return;
    }
    if (now == target) {
        m_settleTries = 0;
        return;
    }
    --m_settleTries;
    if (!actual || !setSystemGeometry(*m_window, target))
        m_window->setPosition(wanted->toLogical(m_placedAt));
    // Where Qt saw nothing to do, no change of the window starts the next look.
    m_settle.start();
}

void WindowMoveArea::setMoving(bool value)
{
    if (value == m_moving)
        return;
    m_moving = value;
    emit movingChanged();
}

void WindowMoveArea::followScreen(QScreen *screen)
{
    connect(screen, &QScreen::geometryChanged, this, [this] { m_displaysChanged.start(); });
    connect(screen, &QScreen::availableGeometryChanged, this,
            [this] { m_displaysChanged.start(); });
}

void WindowMoveArea::keepOnDisplays()
{
    if (!m_window || !m_window->isVisible() || m_moving)
        return;
    const QList<DesktopDisplay> displays = desktopDisplays();
    const DesktopDisplay *current = displayOf(displays, m_window->screen());
    if (!current)
        current = displayAt(displays, m_window->position());
    if (!current)
        return;
    const QSize size = m_window->size();
    const QRect now
        = current->nativeWindow(current->toNative(m_window->position()).toPoint(), size);
    const QList<QRect> desktop = nativeGeometries(displays);
    const bool onADisplay = std::any_of(desktop.cbegin(), desktop.cend(), [&now](const QRect &d) {
        return d.contains(now.center());
    });
    const DesktopDisplay *on = current;
    QPoint placed = now.topLeft();
    if (onADisplay) {
        placed = keptOnDisplays(now, desktop, qRound(m_overhang * current->ratio));
    } else {
        // Whole onto the nearest display's available area, at its scale.
        qint64 nearest = std::numeric_limits<qint64>::max();
        for (const DesktopDisplay &d : displays) {
            const QPoint p = ontoDisplay(d.nativeWindow(now.topLeft(), size), {d.available});
            const qint64 distance = squaredDistance(p, now.topLeft());
            if (distance < nearest) {
                nearest = distance;
                on = &d;
                placed = p;
            }
        }
    }
    if (placed == now.topLeft())
        return;
    place(on->screen, on->toLogical(placed), placed);
    m_settleTries = kSettleTries;
    m_settle.start();
}
