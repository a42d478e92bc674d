#include "native_overlay_window.h"

#include "overlay_input_rules.h"
#include "overlay_platform.h"

#include <QGuiApplication>
#include <QPlatformSurfaceEvent>
#include <QVariantMap>
#include <cmath>

namespace rules = zrn::overlay;

namespace {

// Far beyond any desktop, far from the limits of int.
constexpr qint64 kCoordinateLimit = qint64(1) << 24;

// How often the pointer is looked at where the styles follow it: quick enough that
// a click follows the pointer's arrival on a caliper, cheap enough to run always.
constexpr int kPointerPollMs = 20;

// How long an unmapped window may stay so before it counts as lost: longer than
// a window manager takes to put it into its frame and map it again.
constexpr int kLossCheckMs = 250;

bool withinCoordinateRange(int begin, int length)
{
    return begin >= -kCoordinateLimit && qint64(begin) + length <= kCoordinateLimit;
}

} // namespace

NativeOverlayWindow::NativeOverlayWindow(QWindow *parent)
    : NativeOverlayWindow(createOverlayPlatform(), parent)
{}

NativeOverlayWindow::NativeOverlayWindow(std::unique_ptr<OverlayPlatform> platform, QWindow *parent)
    : QQuickWindow(parent),
      m_platform(platform ? std::move(platform) : createFallbackOverlayPlatform())
{
    setColor(Qt::transparent);
    m_pointerPoll.setInterval(kPointerPollMs);
    connect(&m_pointerPoll, &QTimer::timeout, this, &NativeOverlayWindow::followPointer);
    // On the render thread where it has one; the GUI thread waits meanwhile.
    connect(this, &QQuickWindow::beforeSynchronizing, this,
            &NativeOverlayWindow::takeShapeIntoFrame, Qt::DirectConnection);
    connect(this, &QQuickWindow::frameSwapped, this, &NativeOverlayWindow::frameSwapped,
            Qt::DirectConnection);

    m_lossCheck.setSingleShot(true);
    m_lossCheck.setInterval(kLossCheckMs);
    connect(&m_lossCheck, &QTimer::timeout, this, [this] {
        if (isVisible() && !m_platform->nativeWindowShown(*this))
            restore();
    });
    m_platform->setLossHandler([this](OverlayPlatform::Loss loss) { handleLoss(loss); });
    // Minimised by the window manager (or by "show desktop"): shown again.
    connect(this, &QWindow::windowStateChanged, this, [this](Qt::WindowState state) {
        if (state & Qt::WindowMinimized)
            handleLoss(OverlayPlatform::Loss::Unmapped);
    });
}

// The native styles stay as they are; the window is going away with them.
NativeOverlayWindow::~NativeOverlayWindow() = default;

void NativeOverlayWindow::setClickThrough(bool value)
{
    if (value == m_clickThrough)
        return;
    m_clickThrough = value;
    applyNativeInputPolicy();
    emit clickThroughChanged();
}

void NativeOverlayWindow::setInteractiveRegions(const QVariantList &list)
{
    m_interactiveList = list;
    m_interactiveRegion = regionFromList(list);
    applyNativeInputPolicy();
}

void NativeOverlayWindow::setVisualRegions(const QVariantList &list)
{
    m_visualList = list;
    m_visualRegion = regionFromList(list);
    applyNativeInputPolicy();
}

void NativeOverlayWindow::setRegions(const QRegion &visual, const QRegion &interactive)
{
    m_visualRegion = visual;
    m_visualList = listFromRegion(visual);
    m_interactiveRegion = interactive;
    m_interactiveList = listFromRegion(interactive);
    applyNativeInputPolicy();
}

QVariantList NativeOverlayWindow::listFromRegion(const QRegion &region)
{
    QVariantList list;
    for (const QRect &r : region) {
        list.append(QVariantMap{{QStringLiteral("x"), r.x()},
                                {QStringLiteral("y"), r.y()},
                                {QStringLiteral("width"), r.width()},
                                {QStringLiteral("height"), r.height()}});
    }
    return list;
}

bool NativeOverlayWindow::usesDrawnShape() const
{
    return m_platform->usesDrawnShape();
}

bool NativeOverlayWindow::showsDrawnShapeOnly() const
{
    return m_platform->showsDrawnShapeOnly();
}

void NativeOverlayWindow::setDrawnShape(const QRegion &still, const QRegion &moving)
{
    if (!m_platform->usesDrawnShape())
        return;
    m_pendingStill = still;
    m_pendingMoving = moving;
    m_pendingChanged = true;
    // The shape is applied after a frame: there must be one.
    update();
}

void NativeOverlayWindow::takeShapeIntoFrame()
{
    if (!m_pendingChanged)
        return;
    m_pendingChanged = false;
    m_frameStill = m_pendingStill;
    m_frameMoving = m_pendingMoving;
    m_frameHasShape = true;
    ++m_frameGeneration;
}

void NativeOverlayWindow::frameSwapped()
{
    if (!m_frameHasShape)
        return;
    m_frameHasShape = false;
    // Still before the next frame is synchronised; the GUI thread applies it, at
    // once where it renders itself.
    QMetaObject::invokeMethod(
        this,
        [this, still = m_frameStill, moving = m_frameMoving, generation = m_frameGeneration] {
            applyFrameShape(still, moving, generation);
        },
        Qt::AutoConnection);
}

void NativeOverlayWindow::applyFrameShape(const QRegion &still, const QRegion &moving,
                                          quint64 generation)
{
    if (m_platform->nativeWindowExists(*this))
        m_platform->setDrawnLayers(*this, still, moving);
    m_appliedGeneration = generation;
    emit drawnShapeApplied();
}

QRegion NativeOverlayWindow::regionFromList(const QVariantList &list)
{
    QRegion region;
    for (const QVariant &element : list) {
        const QVariantMap record = element.toMap();
        const int height = record.value(QStringLiteral("height")).toInt();
        const int width = record.value(QStringLiteral("width")).toInt();
        const int y = record.value(QStringLiteral("y")).toInt();
        const int x = record.value(QStringLiteral("x")).toInt();
        if (width < 1 || height < 1)
            continue;
        // Rectangles reaching beyond any window's coordinates come from broken input;
        // taking them would overflow the arithmetic of rectangles and regions.
        if (!withinCoordinateRange(x, width) || !withinCoordinateRange(y, height))
            continue;
        region += QRect(x, y, width, height);
    }
    return region;
}

void NativeOverlayWindow::applyNativeInputPolicy()
{
    if (!m_platform->nativeWindowExists(*this))
        return;

    // The mask first, on every call: an empty region removes it. The platform
    // keeps the drawn shape, which stands in for it where transparency cannot be
    // shown.
    m_platform->setMask(*this, m_visualRegion);

    writeNativeInputStyles();
}

void NativeOverlayWindow::writeNativeInputStyles()
{
    const bool passThrough = m_clickThrough || m_interactiveRegion.isEmpty();
    const std::uint64_t styles = m_platform->readInputStyles(*this);
    std::uint64_t written = rules::inputStylesFor(styles, passThrough);
    if (m_platform->followsPointer()) {
        m_pointerOver = !passThrough && pointerTakenHere();
        written = rules::pointerFollowingStylesFor(styles, passThrough, m_pointerOver);
        if (passThrough)
            m_pointerPoll.stop();
        else if (!m_pointerPoll.isActive())
            m_pointerPoll.start();
    }
    m_platform->writeInputStyles(*this, written, m_interactiveRegion);
    m_platform->applyInputStyles(*this);
}

bool NativeOverlayWindow::takesMouseAt(QPoint screen)
{
    if (m_clickThrough)
        return false;
    // The position comes in native pixels, the region in logical units: the position
    // takes the mouse when its native pixel overlaps an interactive rectangle.
    const QPoint client = m_platform->screenToClient(*this, screen);
    const qreal ratio = m_platform->devicePixelRatio(*this);
    const rules::LogicalSpan xs = rules::logicalPixelsUnder(client.x(), ratio);
    const rules::LogicalSpan ys = rules::logicalPixelsUnder(client.y(), ratio);
    return m_interactiveRegion.intersects(
        QRect(QPoint(xs.first, ys.first), QPoint(xs.last, ys.last)));
}

bool NativeOverlayWindow::pointerTakenHere()
{
    if (m_pointerOver && QGuiApplication::mouseButtons() != Qt::NoButton)
        return true;
    return takesMouseAt(m_platform->cursorPosition());
}

void NativeOverlayWindow::followPointer()
{
    m_followQueued = false;
    if (!m_platform->nativeWindowExists(*this)) {
        m_pointerPoll.stop();
        return;
    }
    if (pointerTakenHere() != m_pointerOver)
        writeNativeInputStyles();
}

void NativeOverlayWindow::handleLoss(OverlayPlatform::Loss loss)
{
    if (loss == OverlayPlatform::Loss::Destroyed) {
        m_destroyedBehindOurBack = true;
        QMetaObject::invokeMethod(this, &NativeOverlayWindow::restore, Qt::QueuedConnection);
    } else if (!m_lossCheck.isActive()) {
        m_lossCheck.start();
    }
}

void NativeOverlayWindow::restore()
{
    if (!isVisible())
        return; // hidden on purpose meanwhile
    if (m_destroyedBehindOurBack) {
        m_destroyedBehindOurBack = false;
        destroy();
        show();
    } else if (windowStates() & Qt::WindowMinimized) {
        showNormal();
    } else {
        // Qt still takes it for shown, and a show alone would change nothing.
        hide();
        show();
    }
    emit restored();
}

bool NativeOverlayWindow::event(QEvent *e)
{
    switch (e->type()) {
    case QEvent::Close:
        // Closing would leave the display's calipers unseen, and new ones too.
        e->ignore();
        return true;
    case QEvent::Show:
        // Before the platform window is mapped: its states count from the start.
        if (m_platform->nativeWindowExists(*this))
            m_platform->prepareToShow(*this);
        break;
    case QEvent::PlatformSurface:
        if (static_cast<QPlatformSurfaceEvent *>(e)->surfaceEventType()
            == QPlatformSurfaceEvent::SurfaceAboutToBeDestroyed)
            m_platform->nativeWindowDestroyed(*this);
        break;
    default:
        break;
    }
    const bool handled = QQuickWindow::event(e);
    switch (e->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseMove:
    case QEvent::Enter:
    case QEvent::Leave:
        m_platform->pointerEventHandled(*this);
        break;
    default:
        break;
    }
    if (e->type() == QEvent::PlatformSurface
        && static_cast<QPlatformSurfaceEvent *>(e)->surfaceEventType()
               == QPlatformSurfaceEvent::SurfaceCreated) {
        m_platform->nativeWindowCreated(*this);
        applyNativeInputPolicy();
    }
    return handled;
}

bool NativeOverlayWindow::nativeEvent(const QByteArray &eventType, void *message, qintptr *result)
{
    if (!message || !m_platform->isHitTestQuery(message))
        return QQuickWindow::nativeEvent(eventType, message, result);

    if (takesMouseAt(m_platform->hitTestPosition(message)))
        return QQuickWindow::nativeEvent(eventType, message, result);
    // The pointer left the interactive parts while the window took it: become
    // transparent for the next query instead of waiting for the poll.
    if (m_pointerOver && !m_followQueued && m_platform->followsPointer()) {
        m_followQueued = true;
        QMetaObject::invokeMethod(this, &NativeOverlayWindow::followPointer, Qt::QueuedConnection);
    }
    if (result)
        *result = rules::kHitTransparent;
    return true;
}
