// The display list and its notifications, driven through the real screen signals
// of the offscreen platform: screens are added, removed, moved and rescaled at run
// time through the platform's own configuration entry point.

#include "display_topology.h"
#include "screen_emulation.h"

#include <QCryptographicHash>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScreen>
#include <QtTest>
#include <memory>
#include <qpa/qplatformscreen.h>
#include <qpa/qwindowsysteminterface.h>

namespace {

const QString kDisplaysChanged = QStringLiteral("displaysChanged");
const QString kAdded = QStringLiteral("displayAdded");
const QString kRemoved = QStringLiteral("displayRemoved");
const QString kGeometry = QStringLiteral("displayGeometryChanged");
const QString kScale = QStringLiteral("displayScaleChanged");

// Computed here without any substitution pattern, so a second expansion of '%'
// sequences in the adapter shows up as a mismatch.
QString independentId(const QString &manufacturer, const QString &model, const QString &serial,
                      const QString &name)
{
    const QString text = manufacturer + QLatin1Char('|') + model + QLatin1Char('|') + serial
                         + QLatin1Char('|') + name;
    return QString::fromLatin1(
        QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).toHex().left(16));
}

QString independentId(const QScreen *screen)
{
    return independentId(screen->manufacturer(), screen->model(), screen->serialNumber(),
                         screen->name());
}

QJsonObject screenConfig(const QString &name, int x, int y, int width, int height,
                         int logicalDpi = 96)
{
    return QJsonObject{{QStringLiteral("name"), name},
                       {QStringLiteral("x"), x},
                       {QStringLiteral("y"), y},
                       {QStringLiteral("width"), width},
                       {QStringLiteral("height"), height},
                       {QStringLiteral("logicalDpi"), logicalDpi},
                       {QStringLiteral("logicalBaseDpi"), 96},
                       {QStringLiteral("dpr"), 1.0}};
}

QScreen *screenNamed(const QString &name)
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    for (QScreen *screen : screens) {
        if (screen->name() == name)
            return screen;
    }
    return nullptr;
}

QVariantMap recordWithId(const QVariantList &displays, const QString &stableId)
{
    for (const QVariant &v : displays) {
        const QVariantMap record = v.toMap();
        if (record.value(QStringLiteral("stableId")).toString() == stableId)
            return record;
    }
    return {};
}

// A screen whose four identity strings and physical size the test chooses; the
// offscreen platform reports only a name.
class FakePlatformScreen : public QPlatformScreen
{
public:
    QRect geometry() const override { return m_geometry; }
    int depth() const override { return 32; }
    QImage::Format format() const override { return QImage::Format_ARGB32_Premultiplied; }
    QSizeF physicalSize() const override { return m_physicalSize; }
    QDpi logicalDpi() const override { return {96, 96}; }
    QDpi logicalBaseDpi() const override { return {96, 96}; }
    QString name() const override { return m_name; }
    QString manufacturer() const override { return m_manufacturer; }
    QString model() const override { return m_model; }
    QString serialNumber() const override { return m_serial; }

    QRect m_geometry{5000, 0, 1600, 900};
    QSizeF m_physicalSize{406.4, 228.6}; // 100 dots per inch
    QString m_name;
    QString m_manufacturer;
    QString m_model;
    QString m_serial;
};

struct Event
{
    QString signal;
    QString stableId;
    qsizetype size = 0;
    QVariantList displays;
};

// Logs every signal of the adapter together with the list it shows at that moment.
class Recorder : public QObject
{
public:
    explicit Recorder(DisplayTopologyAdapter *adapter) : m_adapter(adapter)
    {
        connect(adapter, &DisplayTopologyAdapter::displaysChanged, this,
                [this] { log(kDisplaysChanged, QString()); });
        connect(adapter, &DisplayTopologyAdapter::displayAdded, this,
                [this](const QString &id) { log(kAdded, id); });
        connect(adapter, &DisplayTopologyAdapter::displayRemoved, this,
                [this](const QString &id) { log(kRemoved, id); });
        connect(adapter, &DisplayTopologyAdapter::displayGeometryChanged, this,
                [this](const QString &id) { log(kGeometry, id); });
        connect(adapter, &DisplayTopologyAdapter::displayScaleChanged, this,
                [this](const QString &id) { log(kScale, id); });
    }

    QList<Event> events;

    // "displaysChanged" and "<signal>:<id>" entries, in arrival order.
    QStringList sequence() const
    {
        QStringList out;
        for (const Event &e : events)
            out << (e.signal == kDisplaysChanged ? e.signal : e.signal + u':' + e.stableId);
        return out;
    }

    // The per-display entries only.
    QStringList perDisplay() const
    {
        QStringList out = sequence();
        out.removeAll(kDisplaysChanged);
        return out;
    }

    // Every per-display signal must come right after the displaysChanged of its
    // own refresh, with the same list visible to both receivers.
    QString orderProblem() const
    {
        for (qsizetype i = 0; i < events.size(); ++i) {
            const Event &e = events.at(i);
            if (e.size != e.displays.size())
                return QStringLiteral("size mismatch at %1").arg(i);
            if (e.signal == kDisplaysChanged)
                continue;
            if (i == 0 || events.at(i - 1).signal != kDisplaysChanged)
                return QStringLiteral("%1 at %2 without a refresh before it").arg(e.signal).arg(i);
            if (events.at(i - 1).displays != e.displays)
                return QStringLiteral("%1 at %2 sees another list").arg(e.signal).arg(i);
        }
        return QString();
    }

    void clear() { events.clear(); }

private:
    void log(const QString &signal, const QString &id)
    {
        const QVariantList displays = m_adapter->displays();
        events.append(Event{signal, id, displays.size(), displays});
    }

    DisplayTopologyAdapter *m_adapter;
};

// The list must describe exactly the application's screens, in their order.
QString mismatchWithScreens(const QVariantList &displays)
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    if (displays.size() != screens.size())
        return QStringLiteral("%1 records for %2 screens").arg(displays.size()).arg(screens.size());
    for (qsizetype i = 0; i < screens.size(); ++i) {
        const QScreen *screen = screens.at(i);
        const QVariantMap r = displays.at(i).toMap();
        const QRect g = screen->geometry();
        const bool same
            = r.size() == 9 && r.value(QStringLiteral("screen")).value<QScreen *>() == screen
              && r.value(QStringLiteral("stableId")).toString() == independentId(screen)
              && r.value(QStringLiteral("name")).toString() == screen->name()
              && r.value(QStringLiteral("x")).toInt() == g.x()
              && r.value(QStringLiteral("y")).toInt() == g.y()
              && r.value(QStringLiteral("width")).toInt() == g.width()
              && r.value(QStringLiteral("height")).toInt() == g.height()
              && r.value(QStringLiteral("logicalDpi")).toDouble() == screen->logicalDotsPerInch()
              && r.value(QStringLiteral("devicePixelRatio")).toDouble()
                     == screen->devicePixelRatio();
        if (!same)
            return QStringLiteral("record %1 (%2) does not describe its screen")
                .arg(i)
                .arg(screen->name());
    }
    return QString();
}

} // namespace

class TestDisplayTopology : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void recordHoldsEveryKeyWithItsType_data();
    void recordHoldsEveryKeyWithItsType();
    void initialListFollowsScreenOrder();
    void publishedToQml();

    void identifierOfScreenName_data();
    void identifierOfScreenName();
    void identifierOfReportedStrings_data();
    void identifierOfReportedStrings();
    void identifierOfNullScreenIsEmpty();

    void screenAddedAnnouncedAfterRefresh();
    void screenRemovedAnnouncedWithItsIdentifier_data();
    void screenRemovedAnnouncedWithItsIdentifier();
    void lastScreenRemovedLeavesEmptyList();
    void geometryChange_data();
    void geometryChange();
    void logicalDpiChange_data();
    void logicalDpiChange();
    void physicalDpiChange_data();
    void physicalDpiChange();
    void everyRefreshAnnounced();
    void reconnectedScreenKeepsIdentifier();
    void reconnectedReportedStrings_data();
    void reconnectedReportedStrings();
    void destroyedAdapterStopsListening();
    void randomizedTopology();

private:
    FakePlatformScreen *addFakeScreen(const QString &manufacturer, const QString &model,
                                      const QString &serial, const QString &name);
    void removeFakeScreen(FakePlatformScreen *fake);

    QJsonArray m_initialScreens;
    QList<FakePlatformScreen *> m_fakes;
};

void TestDisplayTopology::initTestCase()
{
    QFile file(QStringLiteral(ZRN_SCREENS_CONFIG));
    QVERIFY2(file.open(QIODevice::ReadOnly), ZRN_SCREENS_CONFIG);
    m_initialScreens = QJsonDocument::fromJson(file.readAll())
                           .object()
                           .value(QStringLiteral("screens"))
                           .toArray();
    QCOMPARE(m_initialScreens.size(), 2);
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("offscreen"));
    QCOMPARE(QGuiApplication::screens().size(), 2);
}

void TestDisplayTopology::init()
{
    QVERIFY(applyEmulatedScreens(m_initialScreens));
    QCOMPARE(QGuiApplication::screens().size(), 2);
}

void TestDisplayTopology::cleanup()
{
    while (!m_fakes.isEmpty())
        removeFakeScreen(m_fakes.constLast());
    QVERIFY(applyEmulatedScreens(m_initialScreens));
}

FakePlatformScreen *TestDisplayTopology::addFakeScreen(const QString &manufacturer,
                                                       const QString &model, const QString &serial,
                                                       const QString &name)
{
    auto *fake = new FakePlatformScreen;
    fake->m_manufacturer = manufacturer;
    fake->m_model = model;
    fake->m_serial = serial;
    fake->m_name = name;
    m_fakes.append(fake);
    QWindowSystemInterface::handleScreenAdded(fake);
    return fake;
}

void TestDisplayTopology::removeFakeScreen(FakePlatformScreen *fake)
{
    m_fakes.removeOne(fake);
    QWindowSystemInterface::handleScreenRemoved(fake); // deletes it
}

void TestDisplayTopology::recordHoldsEveryKeyWithItsType_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QMetaType>("type");
    QTest::newRow("stableId") << QStringLiteral("stableId") << QMetaType::fromType<QString>();
    QTest::newRow("name") << QStringLiteral("name") << QMetaType::fromType<QString>();
    QTest::newRow("x") << QStringLiteral("x") << QMetaType::fromType<int>();
    QTest::newRow("y") << QStringLiteral("y") << QMetaType::fromType<int>();
    QTest::newRow("width") << QStringLiteral("width") << QMetaType::fromType<int>();
    QTest::newRow("height") << QStringLiteral("height") << QMetaType::fromType<int>();
    QTest::newRow("logicalDpi") << QStringLiteral("logicalDpi") << QMetaType::fromType<double>();
    QTest::newRow("devicePixelRatio")
        << QStringLiteral("devicePixelRatio") << QMetaType::fromType<double>();
    QTest::newRow("screen") << QStringLiteral("screen") << QMetaType::fromType<QScreen *>();
}

void TestDisplayTopology::recordHoldsEveryKeyWithItsType()
{
    QFETCH(QString, key);
    QFETCH(QMetaType, type);
    DisplayTopologyAdapter adapter;
    const QVariantList displays = adapter.displays();
    QCOMPARE(displays.size(), 2);
    for (const QVariant &v : displays) {
        QCOMPARE(v.metaType(), QMetaType::fromType<QVariantMap>());
        const QVariantMap record = v.toMap();
        QCOMPARE(record.size(), 9);
        QVERIFY(record.contains(key));
        QCOMPARE(record.value(key).metaType(), type);
    }
}

void TestDisplayTopology::initialListFollowsScreenOrder()
{
    DisplayTopologyAdapter adapter;
    const QVariantList displays = adapter.displays();
    const QString problem = mismatchWithScreens(displays);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));

    // The layout of the configuration file, primary screen first.
    QCOMPARE(displays.size(), 2);
    const QVariantMap left = displays.at(0).toMap();
    const QVariantMap right = displays.at(1).toMap();
    QCOMPARE(left.value(QStringLiteral("screen")).value<QScreen *>(),
             QGuiApplication::primaryScreen());
    QCOMPARE(left.value(QStringLiteral("name")).toString(), QStringLiteral("Left"));
    QCOMPARE(left.value(QStringLiteral("stableId")).toString(), QStringLiteral("5630a5ebc592ddd3"));
    QCOMPARE(right.value(QStringLiteral("stableId")).toString(),
             QStringLiteral("317e658697295496"));
    QCOMPARE(right.value(QStringLiteral("x")).toInt(), 1920);
    QCOMPARE(right.value(QStringLiteral("y")).toInt(), 0);
    QCOMPARE(right.value(QStringLiteral("width")).toInt(), 1280);
    QCOMPARE(right.value(QStringLiteral("height")).toInt(), 1024);
    QCOMPARE(right.value(QStringLiteral("logicalDpi")).toDouble(), 96.0);
    QCOMPARE(right.value(QStringLiteral("devicePixelRatio")).toDouble(), 1.0);
}

void TestDisplayTopology::publishedToQml()
{
    DisplayTopologyAdapter adapter;
    Recorder recorder(&adapter);
    const QMetaObject *mo = adapter.metaObject();

    const QMetaProperty displays = mo->property(mo->indexOfProperty("displays"));
    QVERIFY(displays.isValid());
    QVERIFY(!displays.isWritable());
    QCOMPARE(displays.notifySignal().name(), QByteArray("displaysChanged"));
    QCOMPARE(adapter.property("displays").toList(), adapter.displays());
    QVERIFY2(recorder.events.isEmpty(), "reading the list must not refresh it");

    // The signals in their declared order, each with its one identifier parameter.
    const QList<QByteArray> signatures{"displaysChanged()", "displayAdded(QString)",
                                       "displayRemoved(QString)", "displayGeometryChanged(QString)",
                                       "displayScaleChanged(QString)"};
    int previous = -1;
    for (const QByteArray &signature : signatures) {
        const int index = mo->indexOfSignal(signature);
        QVERIFY2(index > previous, signature.constData());
        previous = index;
    }
    QVERIFY(mo->indexOfMethod("refresh()") >= 0);
    QCOMPARE(mo->indexOfMethod("watchScreen(QScreen*)"), -1);
    QCOMPARE(mo->indexOfMethod("unwatchScreen(QScreen*)"), -1);
}

void TestDisplayTopology::identifierOfScreenName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::newRow("all strings empty") << QString() << QStringLiteral("be5be69f55e91af2");
    QTest::newRow("placeholder in the name")
        << QStringLiteral("%1") << QStringLiteral("0b708439c0a0a722");
    QTest::newRow("non-ASCII name")
        << QStringLiteral("Büro – links") << QStringLiteral("13693861bd3577d1");
}

void TestDisplayTopology::identifierOfScreenName()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);
    DisplayTopologyAdapter adapter;
    Recorder recorder(&adapter);
    QJsonArray screens = m_initialScreens;
    screens.append(screenConfig(name, 3200, 0, 800, 600));
    QVERIFY(applyEmulatedScreens(screens));

    QScreen *screen = screenNamed(name);
    QVERIFY(screen);
    QCOMPARE(independentId(screen), expected);
    QCOMPARE(DisplayTopologyAdapter::stableIdFor(screen), expected);
    QCOMPARE(recorder.perDisplay(), QStringList{kAdded + u':' + expected});
    QCOMPARE(adapter.displays().constLast().toMap().value(QStringLiteral("stableId")).toString(),
             expected);
}

void TestDisplayTopology::identifierOfReportedStrings_data()
{
    QTest::addColumn<QString>("manufacturer");
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::newRow("all empty") << QString() << QString() << QString() << QString()
                               << QStringLiteral("be5be69f55e91af2");
    QTest::newRow("all four") << QStringLiteral("Dell Inc.") << QStringLiteral("DELL U2720Q")
                              << QStringLiteral("8XQK123") << QStringLiteral("\\\\.\\DISPLAY1")
                              << QStringLiteral("2f0040047a6c8ed6");
    // A second substitution would turn "%2" into the model.
    QTest::newRow("placeholder in the manufacturer")
        << QStringLiteral("%2") << QStringLiteral("Acme") << QString() << QStringLiteral("DP-1")
        << QStringLiteral("2e4ab454a232bb9e");
    QTest::newRow("placeholders everywhere")
        << QStringLiteral("%1%2") << QStringLiteral("%3") << QStringLiteral("%4")
        << QStringLiteral("%1") << QStringLiteral("bda43586e25fa961");
}

void TestDisplayTopology::identifierOfReportedStrings()
{
    QFETCH(QString, manufacturer);
    QFETCH(QString, model);
    QFETCH(QString, serial);
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QCOMPARE(independentId(manufacturer, model, serial, name), expected);

    DisplayTopologyAdapter adapter;
    Recorder recorder(&adapter);
    FakePlatformScreen *fake = addFakeScreen(manufacturer, model, serial, name);
    QScreen *screen = fake->screen();
    QVERIFY(screen);
    QCOMPARE(screen->manufacturer(), manufacturer);

    const QString id = DisplayTopologyAdapter::stableIdFor(screen);
    QCOMPARE(id, expected);
    QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]{16}$")).match(id).hasMatch());
    QCOMPARE(recorder.perDisplay(), QStringList{kAdded + u':' + expected});
    QCOMPARE(recordWithId(adapter.displays(), expected)
                 .value(QStringLiteral("screen"))
                 .value<QScreen *>(),
             screen);
}

void TestDisplayTopology::identifierOfNullScreenIsEmpty()
{
    // No screen, no identity: an empty identifier never matches a real display.
    QCOMPARE(DisplayTopologyAdapter::stableIdFor(nullptr), QString());
}

void TestDisplayTopology::screenAddedAnnouncedAfterRefresh()
{
    DisplayTopologyAdapter adapter;
    Recorder recorder(&adapter);
    QJsonArray screens = m_initialScreens;
    screens.append(screenConfig(QStringLiteral("Extra"), 3200, 0, 1024, 768));
    QVERIFY(applyEmulatedScreens(screens));

    const QString id = independentId(QString(), QString(), QString(), QStringLiteral("Extra"));
    QCOMPARE(recorder.sequence(), (QStringList{kDisplaysChanged, kAdded + u':' + id}));
    QCOMPARE(recorder.events.at(0).size, 3);
    QCOMPARE(recorder.events.at(1).size, 3);
    const QString problem = recorder.orderProblem();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));

    // The receiver of displayAdded already finds the new display, last in screen order.
    const QVariantList seen = recorder.events.at(1).displays;
    const QVariantMap record = seen.constLast().toMap();
    QCOMPARE(record.value(QStringLiteral("stableId")).toString(), id);
    QCOMPARE(record.value(QStringLiteral("name")).toString(), QStringLiteral("Extra"));
    QCOMPARE(record.value(QStringLiteral("x")).toInt(), 3200);
    QCOMPARE(record.value(QStringLiteral("screen")).value<QScreen *>(),
             screenNamed(QStringLiteral("Extra")));
    const QString mismatch = mismatchWithScreens(adapter.displays());
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));

    // The new screen is watched: moving it is reported under its identifier.
    recorder.clear();
    screens[2] = screenConfig(QStringLiteral("Extra"), 3300, 50, 1024, 768);
    QVERIFY(applyEmulatedScreens(screens));
    QCOMPARE(recorder.perDisplay(), QStringList{kGeometry + u':' + id});
}

void TestDisplayTopology::screenRemovedAnnouncedWithItsIdentifier_data()
{
    QTest::addColumn<int>("removedIndex");
    QTest::newRow("secondary") << 1;
    QTest::newRow("primary") << 0;
}

void TestDisplayTopology::screenRemovedAnnouncedWithItsIdentifier()
{
    QFETCH(int, removedIndex);
    DisplayTopologyAdapter adapter;
    Recorder recorder(&adapter);
    const QString removedName
        = m_initialScreens.at(removedIndex).toObject().value(QStringLiteral("name")).toString();
    const QString keptName
        = m_initialScreens.at(1 - removedIndex).toObject().value(QStringLiteral("name")).toString();
    const QScreen *departing = screenNamed(removedName);
    QVERIFY(departing);
    const QString id = DisplayTopologyAdapter::stableIdFor(departing);
    const auto departingAddress = reinterpret_cast<quintptr>(departing);

    QVERIFY(applyEmulatedScreens(QJsonArray{m_initialScreens.at(1 - removedIndex)}));

    QCOMPARE(recorder.sequence(), (QStringList{kDisplaysChanged, kRemoved + u':' + id}));
    const QString problem = recorder.orderProblem();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    for (const Event &e : std::as_const(recorder.events)) {
        QCOMPARE(e.size, 1);
        const QVariantMap record = e.displays.at(0).toMap();
        QCOMPARE(record.value(QStringLiteral("name")).toString(), keptName);
        QVERIFY(
            reinterpret_cast<quintptr>(record.value(QStringLiteral("screen")).value<QScreen *>())
            != departingAddress);
    }
    const QString mismatch = mismatchWithScreens(adapter.displays());
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void TestDisplayTopology::lastScreenRemovedLeavesEmptyList()
{
    DisplayTopologyAdapter adapter;
    Recorder recorder(&adapter);
    QVERIFY(applyEmulatedScreens(QJsonArray{}));
    QCOMPARE(QGuiApplication::screens().size(), 0);
    QVERIFY(adapter.displays().isEmpty());
    QCOMPARE(recorder.perDisplay(),
             (QStringList{kRemoved + u':' + QStringLiteral("5630a5ebc592ddd3"),
                          kRemoved + u':' + QStringLiteral("317e658697295496")}));
    QCOMPARE(recorder.events.constLast().size, 0);

    recorder.clear();
    adapter.refresh();
    QCOMPARE(recorder.sequence(), QStringList{kDisplaysChanged});
    QCOMPARE(recorder.events.at(0).size, 0);
}

void TestDisplayTopology::geometryChange_data()
{
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<bool>("mayRescale");
    // A move keeps the scale, so it must not cost the display its calibration.
    QTest::newRow("moved right") << QRect(2000, 0, 1280, 1024) << false;
    QTest::newRow("moved below") << QRect(0, 1080, 1280, 1024) << false;
    QTest::newRow("moved left of primary") << QRect(-1280, -200, 1280, 1024) << false;
    // A new size may change what a pixel of that display stands for.
    QTest::newRow("resized") << QRect(1920, 0, 1600, 900) << true;
    QTest::newRow("moved and resized") << QRect(-1600, 0, 1600, 1200) << true;
}

void TestDisplayTopology::geometryChange()
{
    QFETCH(QRect, geometry);
    QFETCH(bool, mayRescale);
    DisplayTopologyAdapter adapter;
    Recorder recorder(&adapter);
    const QString id = DisplayTopologyAdapter::stableIdFor(screenNamed(QStringLiteral("Right")));

    QVERIFY(applyEmulatedScreens(QJsonArray{
        m_initialScreens.at(0), screenConfig(QStringLiteral("Right"), geometry.x(), geometry.y(),
                                             geometry.width(), geometry.height())}));

    QStringList perDisplay = recorder.perDisplay();
    QVERIFY2(!perDisplay.isEmpty() && perDisplay.takeFirst() == kGeometry + u':' + id,
             qPrintable(recorder.perDisplay().join(u' ')));
    const QStringList rest = mayRescale ? QStringList{kScale + u':' + id} : QStringList{};
    QVERIFY2(perDisplay.isEmpty() || perDisplay == rest,
             qPrintable(recorder.perDisplay().join(u' ')));
    const QString problem = recorder.orderProblem();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));

    // The receiver of displayGeometryChanged sees the new geometry under the old identifier.
    const auto geometryEvent = std::find_if(recorder.events.cbegin(), recorder.events.cend(),
                                            [](const Event &e) { return e.signal == kGeometry; });
    QVERIFY(geometryEvent != recorder.events.cend());
    const QVariantMap record = recordWithId(geometryEvent->displays, id);
    QCOMPARE(record.value(QStringLiteral("name")).toString(), QStringLiteral("Right"));
    QCOMPARE(QRect(record.value(QStringLiteral("x")).toInt(),
                   record.value(QStringLiteral("y")).toInt(),
                   record.value(QStringLiteral("width")).toInt(),
                   record.value(QStringLiteral("height")).toInt()),
             geometry);
    const QString mismatch = mismatchWithScreens(adapter.displays());
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void TestDisplayTopology::logicalDpiChange_data()
{
    QTest::addColumn<int>("logicalDpi");
    QTest::newRow("150 %") << 144;
    QTest::newRow("200 %") << 192;
    QTest::newRow("125 %") << 120;
}

void TestDisplayTopology::logicalDpiChange()
{
    QFETCH(int, logicalDpi);
    DisplayTopologyAdapter adapter;
    Recorder recorder(&adapter);
    const QString id = DisplayTopologyAdapter::stableIdFor(screenNamed(QStringLiteral("Right")));
    const QString leftId = DisplayTopologyAdapter::stableIdFor(screenNamed(QStringLiteral("Left")));

    QVERIFY(applyEmulatedScreens(
        QJsonArray{m_initialScreens.at(0),
                   screenConfig(QStringLiteral("Right"), 1920, 0, 1280, 1024, logicalDpi)}));

    const QString problem = recorder.orderProblem();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    const QStringList perDisplay = recorder.perDisplay();
    QVERIFY2(perDisplay.contains(kScale + u':' + id), qPrintable(perDisplay.join(u' ')));
    // Only the rescaled display is named, and never as added or removed.
    for (const QString &entry : perDisplay) {
        QVERIFY2(entry.endsWith(id), qPrintable(entry));
        QVERIFY2(entry.startsWith(kScale) || entry.startsWith(kGeometry), qPrintable(entry));
    }
    // Every receiver of displayScaleChanged already sees the new scale.
    const double ratio = logicalDpi / 96.0;
    for (const Event &e : std::as_const(recorder.events)) {
        if (e.signal != kScale)
            continue;
        QCOMPARE(recordWithId(e.displays, id).value(QStringLiteral("devicePixelRatio")).toDouble(),
                 ratio);
        QCOMPARE(
            recordWithId(e.displays, leftId).value(QStringLiteral("devicePixelRatio")).toDouble(),
            1.0);
    }
    const QString mismatch = mismatchWithScreens(adapter.displays());
    QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
}

void TestDisplayTopology::physicalDpiChange_data()
{
    QTest::addColumn<QSizeF>("physicalSize");
    QTest::addColumn<bool>("scaleChanged");
    QTest::newRow("denser panel") << QSizeF(344.4, 193.7) << true;
    QTest::newRow("coarser panel") << QSizeF(508.0, 285.75) << true;
    QTest::newRow("same density") << QSizeF(406.4, 228.6) << false;
}

void TestDisplayTopology::physicalDpiChange()
{
    // The offscreen platform derives the physical size from the geometry, and this
    // Qt has no window-system event for a new physical size alone. A screen of our
    // own reports the new size, and its real QScreen signal announces it, as a
    // platform plugin does.
    QFETCH(QSizeF, physicalSize);
    QFETCH(bool, scaleChanged);
    FakePlatformScreen *fake = addFakeScreen(QStringLiteral("Acme"), QStringLiteral("P1"),
                                             QStringLiteral("42"), QStringLiteral("Panel"));
    QScreen *screen = fake->screen();
    DisplayTopologyAdapter adapter;
    Recorder recorder(&adapter);
    const QVariantList before = adapter.displays();
    const QString id = DisplayTopologyAdapter::stableIdFor(screen);

    fake->m_physicalSize = physicalSize;
    emit screen->physicalDotsPerInchChanged(screen->physicalDotsPerInch());

    const QStringList expected = scaleChanged ? QStringList{kDisplaysChanged, kScale + u':' + id}
                                              : QStringList{kDisplaysChanged};
    QCOMPARE(recorder.sequence(), expected);
    // Geometry and logical scale are untouched; only the density moved.
    QCOMPARE(recorder.events.constLast().displays, before);
    const QString problem = recorder.orderProblem();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));

    // The same density announced again is no new change of scale.
    recorder.clear();
    emit screen->physicalDotsPerInchChanged(screen->physicalDotsPerInch());
    QCOMPARE(recorder.sequence(), QStringList{kDisplaysChanged});
}

void TestDisplayTopology::everyRefreshAnnounced()
{
    DisplayTopologyAdapter adapter;
    Recorder recorder(&adapter);
    const QVariantList before = adapter.displays();

    adapter.refresh();
    QVERIFY(QMetaObject::invokeMethod(&adapter, "refresh"));
    adapter.refresh();

    QCOMPARE(recorder.sequence(),
             (QStringList{kDisplaysChanged, kDisplaysChanged, kDisplaysChanged}));
    for (const Event &e : std::as_const(recorder.events))
        QCOMPARE(e.displays, before);
}

void TestDisplayTopology::reconnectedScreenKeepsIdentifier()
{
    DisplayTopologyAdapter adapter;
    Recorder recorder(&adapter);
    const QString id = DisplayTopologyAdapter::stableIdFor(screenNamed(QStringLiteral("Right")));

    QVERIFY(applyEmulatedScreens(QJsonArray{m_initialScreens.at(0)}));
    // Back at another place and another scale: the identifier depends on neither.
    QVERIFY(applyEmulatedScreens(QJsonArray{
        m_initialScreens.at(0), screenConfig(QStringLiteral("Right"), -1280, 0, 1280, 1024, 144)}));

    QCOMPARE(recorder.perDisplay(), (QStringList{kRemoved + u':' + id, kAdded + u':' + id}));
    QCOMPARE(adapter.displays().size(), 2);
    QCOMPARE(adapter.displays().at(1).toMap().value(QStringLiteral("stableId")).toString(), id);
}

void TestDisplayTopology::reconnectedReportedStrings_data()
{
    QTest::addColumn<QString>("serialAfter");
    QTest::addColumn<bool>("sameIdentifier");
    QTest::newRow("same monitor") << QStringLiteral("SN-1") << true;
    QTest::newRow("twin with another serial") << QStringLiteral("SN-2") << false;
}

void TestDisplayTopology::reconnectedReportedStrings()
{
    QFETCH(QString, serialAfter);
    QFETCH(bool, sameIdentifier);
    DisplayTopologyAdapter adapter;
    Recorder recorder(&adapter);

    FakePlatformScreen *first = addFakeScreen(QStringLiteral("Acme"), QStringLiteral("X27"),
                                              QStringLiteral("SN-1"), QStringLiteral("DP-2"));
    const QString before = DisplayTopologyAdapter::stableIdFor(first->screen());
    removeFakeScreen(first);
    FakePlatformScreen *second = addFakeScreen(QStringLiteral("Acme"), QStringLiteral("X27"),
                                               serialAfter, QStringLiteral("DP-2"));
    second->m_geometry = QRect(-2560, 0, 2560, 1440);
    const QString after = DisplayTopologyAdapter::stableIdFor(second->screen());

    QCOMPARE(after == before, sameIdentifier);
    QCOMPARE(recorder.perDisplay(), (QStringList{kAdded + u':' + before, kRemoved + u':' + before,
                                                 kAdded + u':' + after}));
}

void TestDisplayTopology::destroyedAdapterStopsListening()
{
    auto adapter = std::make_unique<DisplayTopologyAdapter>();
    QSignalSpy spy(adapter.get(), &DisplayTopologyAdapter::displaysChanged);
    adapter.reset();
    // Changes after its end must reach nothing (the sanitizer build catches a
    // connection that outlived it).
    QJsonArray screens = m_initialScreens;
    screens.append(screenConfig(QStringLiteral("Extra"), 3200, 0, 800, 600));
    QVERIFY(applyEmulatedScreens(screens));
    QVERIFY(applyEmulatedScreens(QJsonArray{
        m_initialScreens.at(0), screenConfig(QStringLiteral("Right"), 1920, 0, 1280, 1024, 144)}));
    QCOMPARE(spy.count(), 0);
}

void TestDisplayTopology::randomizedTopology()
{
    // A fixed-seed walk through connections, disconnections, moves and rescales;
    // after every step the list must describe the screens, and the per-display
    // signals must name exactly the display that changed.
    QRandomGenerator random(20240611u);
    struct Config
    {
        QString name;
        int x, y, width, height, dpi;
    };
    const QStringList pool{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"),
                           QStringLiteral("D"), QStringLiteral("%1")};
    QList<Config> current{{QStringLiteral("Left"), 0, 0, 1920, 1080, 96},
                          {QStringLiteral("Right"), 1920, 0, 1280, 1024, 96}};
    auto toJson = [](const QList<Config> &configs) {
        QJsonArray array;
        for (const Config &c : configs)
            array.append(screenConfig(c.name, c.x, c.y, c.width, c.height, c.dpi));
        return array;
    };
    auto idOf
        = [](const QString &name) { return independentId(QString(), QString(), QString(), name); };

    DisplayTopologyAdapter adapter;
    Recorder recorder(&adapter);
    for (int step = 0; step < 300; ++step) {
        recorder.clear();
        QStringList allowed; // per-display entries this step may produce
        QString required;    // the one entry it must produce
        const int op = random.bounded(5);
        if (op == 0 && current.size() < 6) {
            QString name;
            for (const QString &candidate : pool) {
                const bool used = std::any_of(current.cbegin(), current.cend(),
                                              [&](const Config &c) { return c.name == candidate; });
                if (!used) {
                    name = candidate;
                    break;
                }
            }
            if (name.isEmpty())
                continue;
            current.append({name, random.bounded(-4000, 8000), random.bounded(-2000, 2000),
                            random.bounded(640, 3840), random.bounded(480, 2160), 96});
            required = kAdded + u':' + idOf(name);
            allowed << required;
        } else if (op == 1 && !current.isEmpty()) {
            const Config gone = current.takeAt(random.bounded(int(current.size())));
            required = kRemoved + u':' + idOf(gone.name);
            allowed << required;
        } else if (!current.isEmpty()) {
            Config &c = current[random.bounded(int(current.size()))];
            const QString id = idOf(c.name);
            if (op == 2) {
                c.x += random.bounded(-500, 500) | 1; // never zero: a real move
                required = kGeometry + u':' + id;
                allowed << required;
            } else if (op == 3) {
                c.width += 16 + random.bounded(200);
                required = kGeometry + u':' + id;
                allowed << required << kScale + u':' + id;
            } else {
                const int choices[] = {72, 96, 120, 144, 168, 192};
                int dpi = c.dpi;
                while (dpi == c.dpi)
                    dpi = choices[random.bounded(6)];
                c.dpi = dpi;
                required = kScale + u':' + id;
                allowed << required << kGeometry + u':' + id;
            }
        } else {
            continue;
        }
        QVERIFY(applyEmulatedScreens(toJson(current)));

        const QString where = QStringLiteral("step %1: ").arg(step);
        const QStringList perDisplay = recorder.perDisplay();
        QVERIFY2(
            perDisplay.contains(required),
            qPrintable(where + required + QStringLiteral(" missing in ") + perDisplay.join(u' ')));
        for (const QString &entry : perDisplay)
            QVERIFY2(allowed.contains(entry),
                     qPrintable(where + QStringLiteral("unexpected ") + entry));
        const QString order = recorder.orderProblem();
        QVERIFY2(order.isEmpty(), qPrintable(where + order));
        const QString mismatch = mismatchWithScreens(adapter.displays());
        QVERIFY2(mismatch.isEmpty(), qPrintable(where + mismatch));
        QCOMPARE(QGuiApplication::screens().size(), current.size());
    }
}

QTEST_MAIN(TestDisplayTopology)
#include "tst_displaytopology.moc"
