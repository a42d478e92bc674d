#include "display_topology.h"

#include <QCryptographicHash>
#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QVariantMap>
#include <memory>

namespace {

// What makes up the scale of a display: a difference in any of these is a change
// of scale, and nothing else is.
struct ScreenScale
{
    qreal logicalDpi = 0;
    qreal devicePixelRatio = 0;
    qreal physicalDpi = 0;
    QSize size;

    static ScreenScale of(const QScreen *screen)
    {
        return {screen->logicalDotsPerInch(), screen->devicePixelRatio(),
                screen->physicalDotsPerInch(), screen->size()};
    }

    // Exact on purpose: any difference counts, and NaN never compares equal, so
    // an unreadable value always counts as a change.
    bool operator==(const ScreenScale &other) const
    {
        return logicalDpi == other.logicalDpi && devicePixelRatio == other.devicePixelRatio
               && physicalDpi == other.physicalDpi && size == other.size;
    }
};

} // namespace

DisplayTopologyAdapter::DisplayTopologyAdapter(QObject *parent) : QObject(parent)
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    for (QScreen *screen : screens)
        watchScreen(screen);
    connect(qGuiApp, &QGuiApplication::screenAdded, this,
            &DisplayTopologyAdapter::handleScreenAdded);
    connect(qGuiApp, &QGuiApplication::screenRemoved, this,
            &DisplayTopologyAdapter::handleScreenRemoved);
    refresh();
}

QVariantList DisplayTopologyAdapter::displays() const
{
    return m_displays;
}

void DisplayTopologyAdapter::refresh()
{
    QVariantList list;
    const QList<QScreen *> screens = QGuiApplication::screens();
    list.reserve(screens.size());
    for (QScreen *screen : screens) {
        const QRect geometry = screen->geometry();
        QVariantMap record;
        record.insert(QStringLiteral("stableId"), stableIdFor(screen));
        record.insert(QStringLiteral("name"), screen->name());
        record.insert(QStringLiteral("x"), geometry.x());
        record.insert(QStringLiteral("y"), geometry.y());
        record.insert(QStringLiteral("width"), geometry.width());
        record.insert(QStringLiteral("height"), geometry.height());
        record.insert(QStringLiteral("logicalDpi"), double(screen->logicalDotsPerInch()));
        record.insert(QStringLiteral("devicePixelRatio"), double(screen->devicePixelRatio()));
        record.insert(QStringLiteral("screen"), QVariant::fromValue(screen));
        list.append(record);
    }
    m_displays = list;
    emit displaysChanged();
}

QString DisplayTopologyAdapter::stableIdFor(const QScreen *screen)
{
    if (!screen)
        return QString();
    // One multi-argument substitution: a '%' inside a reported string stays literal.
    const QString identity
        = QStringLiteral("%1|%2|%3|%4")
              .arg(screen->manufacturer(), screen->model(), screen->serialNumber(), screen->name());
    const QByteArray digest
        = QCryptographicHash::hash(identity.toUtf8(), QCryptographicHash::Sha256);
    return QString::fromLatin1(digest.toHex().left(16));
}

void DisplayTopologyAdapter::watchScreen(QScreen *screen)
{
    if (!screen)
        return;
    // The arguments are ignored: the refresh re-reads every screen.
    connect(screen, &QScreen::geometryChanged, this, [this, screen] {
        refresh();
        emit displayGeometryChanged(stableIdFor(screen));
    });

    // Some Qt versions send both dots-per-inch signals, unchanged and sometimes
    // twice, with every change of geometry, including a plain move. A move must not
    // cost the user the calibration of that display, so a change of scale is
    // announced only when the screen's scale really differs from the last one seen.
    auto lastScale = std::make_shared<ScreenScale>(ScreenScale::of(screen));
    const auto onDotsPerInchChanged = [this, screen, lastScale] {
        refresh();
        const ScreenScale scale = ScreenScale::of(screen);
        if (scale == *lastScale)
            return;
        *lastScale = scale;
        emit displayScaleChanged(stableIdFor(screen));
    };
    connect(screen, &QScreen::logicalDotsPerInchChanged, this, onDotsPerInchChanged);
    connect(screen, &QScreen::physicalDotsPerInchChanged, this, onDotsPerInchChanged);
}

void DisplayTopologyAdapter::unwatchScreen(QScreen *screen)
{
    if (!screen)
        return;
    disconnect(screen, nullptr, this, nullptr);
}

void DisplayTopologyAdapter::handleScreenAdded(QScreen *screen)
{
    watchScreen(screen);
    refresh();
    emit displayAdded(stableIdFor(screen));
}

void DisplayTopologyAdapter::handleScreenRemoved(QScreen *screen)
{
    // Taken first, while the departing screen still answers.
    const QString stableId = stableIdFor(screen);
    unwatchScreen(screen);
    refresh();
    emit displayRemoved(stableId);
}
