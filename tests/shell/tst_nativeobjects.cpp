// The program's wiring of its native objects, on the offscreen platform's
// emulated screens: a display that is unplugged or rescaled drops the reference
// drawn on it, and only that one; both objects reach QML under their names.

#include "native_objects.h"
#include "screen_emulation.h"

#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QScreen>
#include <QSignalSpy>
#include <QtTest>
#include <memory>

namespace {

QJsonObject screenConfig(const QString &name, int x, int width, int logicalDpi)
{
    return QJsonObject{{QStringLiteral("name"), name},
                       {QStringLiteral("x"), x},
                       {QStringLiteral("y"), 0},
                       {QStringLiteral("width"), width},
                       {QStringLiteral("height"), 1024},
                       {QStringLiteral("logicalDpi"), logicalDpi},
                       {QStringLiteral("logicalBaseDpi"), 96},
                       {QStringLiteral("dpr"), 1.0}};
}

const QJsonArray kTwoScreens{screenConfig(QStringLiteral("Left"), 0, 1920, 96),
                             screenConfig(QStringLiteral("Right"), 1920, 1280, 96)};

QScreen *screenNamed(const QString &name)
{
    const auto screens = QGuiApplication::screens();
    for (QScreen *screen : screens) {
        if (screen->name() == name)
            return screen;
    }
    return nullptr;
}

} // namespace

class TestNativeObjects : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void displayChangeDropsItsReference_data();
    void displayChangeDropsItsReference();
    void displayChangeKeepsCalipersInside_data();
    void displayChangeKeepsCalipersInside();
    void publishedToQml();

private:
    std::unique_ptr<NativeObjects> m_objects;
};

void TestNativeObjects::init()
{
    QVERIFY(applyEmulatedScreens(kTwoScreens));
    QCOMPARE(QGuiApplication::screens().size(), 2);
    m_objects = std::make_unique<NativeObjects>();
}

void TestNativeObjects::displayChangeDropsItsReference_data()
{
    QTest::addColumn<QString>("referenceScreen");
    QTest::addColumn<QJsonArray>("screensAfter");
    QTest::addColumn<bool>("dropped");

    const QJsonObject left = kTwoScreens.at(0).toObject();
    const QJsonObject right = kTwoScreens.at(1).toObject();
    const QJsonObject rightRescaled = screenConfig(QStringLiteral("Right"), 1920, 1280, 144);
    const QJsonObject leftRescaled = screenConfig(QStringLiteral("Left"), 0, 1920, 120);

    QTest::newRow("its display unplugged") << "Right" << QJsonArray{left} << true;
    QTest::newRow("its display rescaled") << "Right" << QJsonArray{left, rightRescaled} << true;
    QTest::newRow("another display unplugged") << "Left" << QJsonArray{left} << false;
    QTest::newRow("another display rescaled") << "Left" << QJsonArray{left, rightRescaled} << false;
    QTest::newRow("primary display rescaled") << "Left" << QJsonArray{leftRescaled, right} << true;
    QTest::newRow("its display moved")
        << "Right" << QJsonArray{left, screenConfig(QStringLiteral("Right"), 2000, 1280, 96)}
        << false;
}

void TestNativeObjects::displayChangeDropsItsReference()
{
    QFETCH(QString, referenceScreen);
    QFETCH(QJsonArray, screensAfter);
    QFETCH(bool, dropped);

    QScreen *screen = screenNamed(referenceScreen);
    QVERIFY(screen);
    OverlayController &controller = m_objects->overlayController();
    const QString id = DisplayTopologyAdapter::stableIdFor(screen);
    QVERIFY(controller.addMeasurement(QStringLiteral("reference"), id, screen->logicalDotsPerInch(),
                                      screen->devicePixelRatio(), 100, 300, 200,
                                      QStringLiteral("#2dd4bf"), 1000)
            != 0);
    QCOMPARE(controller.referenceChoices().size(), 1);

    QSignalSpy messages(&controller, &OverlayController::transientMessage);
    QVERIFY(applyEmulatedScreens(screensAfter));

    QCOMPARE(controller.referenceChoices().isEmpty(), dropped);
    QCOMPARE(messages.size(), dropped ? 1 : 0);
    if (dropped) {
        QCOMPARE(messages.at(0).at(0).toString(),
                 QStringLiteral("Display topology or DPI changed. Draw a new reference on that "
                                "display."));
    }
    // The caliper itself stays, whatever happened to its display.
    QCOMPARE(controller.measurements().size(), 1);
}

void TestNativeObjects::displayChangeKeepsCalipersInside_data()
{
    QTest::addColumn<bool>("unplugFirst");
    QTest::addColumn<QJsonArray>("screensAfter");
    QTest::addColumn<double>("rightStartX"); // of the caliper drawn at 1000..1200 on Right

    const QJsonObject left = kTwoScreens.at(0).toObject();
    const auto right = [&left](int x, int width, int dpi) {
        return QJsonArray{left, screenConfig(QStringLiteral("Right"), x, width, dpi)};
    };
    QTest::newRow("narrower") << false << right(1920, 800, 96) << 600.0;
    QTest::newRow("plugged in again narrower") << true << right(1920, 800, 96) << 600.0;
    // 1280 / 1.5, in whole logical pixels
    QTest::newRow("rescaled to 1.5") << false << right(1920, 1280, 144) << 853.0 - 200.0;
    QTest::newRow("moved only") << false << right(2200, 1280, 96) << 1000.0;
    QTest::newRow("wider") << false << right(1920, 1600, 96) << 1000.0;
}

void TestNativeObjects::displayChangeKeepsCalipersInside()
{
    QFETCH(bool, unplugFirst);
    QFETCH(QJsonArray, screensAfter);
    QFETCH(double, rightStartX);

    OverlayController &controller = m_objects->overlayController();
    const auto addOn = [&controller](const QString &name) {
        QScreen *screen = screenNamed(name);
        return screen ? controller.addMeasurement(
                   QStringLiteral("standard"), DisplayTopologyAdapter::stableIdFor(screen),
                   screen->logicalDotsPerInch(), screen->devicePixelRatio(), 1000, 1200, 900,
                   QStringLiteral("#2dd4bf"), 0)
                      : 0;
    };
    const quint64 onRight = addOn(QStringLiteral("Right"));
    const quint64 onLeft = addOn(QStringLiteral("Left"));
    QVERIFY(onRight != 0 && onLeft != 0);

    if (unplugFirst)
        QVERIFY(applyEmulatedScreens(QJsonArray{kTwoScreens.at(0)}));
    QVERIFY(applyEmulatedScreens(screensAfter));

    QHash<quint64, QVariantMap> rows;
    for (const QVariant &row : controller.measurements())
        rows.insert(row.toMap().value(QStringLiteral("id")).toULongLong(), row.toMap());
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[onRight].value(QStringLiteral("startX")).toDouble(), rightStartX);
    QCOMPARE(rows[onRight].value(QStringLiteral("endX")).toDouble(), rightStartX + 200.0);
    QCOMPARE(rows[onLeft].value(QStringLiteral("startX")).toDouble(), 1000.0);
    QCOMPARE(rows[onLeft].value(QStringLiteral("endX")).toDouble(), 1200.0);
}

void TestNativeObjects::publishedToQml()
{
    QQmlEngine engine;
    m_objects->publish(*engine.rootContext());
    QQmlComponent component(&engine);
    component.setData("import QtQml\n"
                      "import ZRNCalipers.Native 1.0\n"
                      "QtObject {\n"
                      "    property var topology: displayTopology\n"
                      "    property var controller: overlayController\n"
                      "    property int displayCount: displayTopology.displays.length\n"
                      "    property var window: NativeOverlayWindow { }\n"
                      "}\n",
                      QUrl());
    std::unique_ptr<QObject> object(component.create());
    QVERIFY2(object, qPrintable(component.errorString()));
    QCOMPARE(object->property("topology").value<QObject *>(), &m_objects->displayTopology());
    QCOMPARE(object->property("controller").value<QObject *>(), &m_objects->overlayController());
    QCOMPARE(object->property("displayCount").toInt(), 2);
    QVERIFY(object->property("window").value<QObject *>()->inherits("NativeOverlayWindow"));
}

QTEST_MAIN(TestNativeObjects)

#include "tst_nativeobjects.moc"
