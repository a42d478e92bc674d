// Which platform the program asks Qt for: a Wayland session runs on X11
// through XWayland, or not at all; any other choice is left alone. Where Qt
// would start on xcb with nothing to fall back on, the display is checked first.

#include "platform_choice.h"

#include <QtTest>

Q_DECLARE_METATYPE(PlatformChoice)

class TestPlatformChoice : public QObject
{
    Q_OBJECT

private slots:
    void choose_data();
    void choose();
    void xcbAlone_data();
    void xcbAlone();
};

void TestPlatformChoice::choose_data()
{
    QTest::addColumn<QByteArray>("qpa");
    QTest::addColumn<QByteArray>("session");
    QTest::addColumn<QByteArray>("wayland");
    QTest::addColumn<QByteArray>("display");
    QTest::addColumn<PlatformChoice>("choice");

    const auto asIs = PlatformChoice::AsIs;
    const auto xcb = PlatformChoice::UseXcb;
    const auto none = PlatformChoice::NoX11;
    QTest::newRow("X11 session") << QByteArray() << QByteArray("x11") << QByteArray()
                                 << QByteArray(":0") << asIs;
    QTest::newRow("nothing set (Windows)")
        << QByteArray() << QByteArray() << QByteArray() << QByteArray() << asIs;
    QTest::newRow("Wayland session with XWayland")
        << QByteArray() << QByteArray("wayland") << QByteArray("wayland-0") << QByteArray(":0")
        << xcb;
    QTest::newRow("Wayland session without X")
        << QByteArray() << QByteArray("wayland") << QByteArray("wayland-0") << QByteArray() << none;
    QTest::newRow("only WAYLAND_DISPLAY")
        << QByteArray() << QByteArray() << QByteArray("wayland-1") << QByteArray(":1") << xcb;
    QTest::newRow("session type in capitals")
        << QByteArray() << QByteArray("Wayland") << QByteArray() << QByteArray() << none;
    QTest::newRow("wayland named")
        << QByteArray("wayland") << QByteArray("x11") << QByteArray() << QByteArray(":0") << xcb;
    QTest::newRow("wayland-egl named without X")
        << QByteArray("wayland-egl") << QByteArray() << QByteArray() << QByteArray() << none;
    QTest::newRow("a list starting with wayland")
        << QByteArray("wayland;xcb") << QByteArray() << QByteArray() << QByteArray(":0") << xcb;
    QTest::newRow("xcb named in a Wayland session")
        << QByteArray("xcb") << QByteArray("wayland") << QByteArray("wayland-0") << QByteArray(":0")
        << asIs;
    QTest::newRow("offscreen named in a Wayland session without X")
        << QByteArray("offscreen") << QByteArray("wayland") << QByteArray("wayland-0")
        << QByteArray() << asIs;
}

void TestPlatformChoice::choose()
{
    QFETCH(QByteArray, qpa);
    QFETCH(QByteArray, session);
    QFETCH(QByteArray, wayland);
    QFETCH(QByteArray, display);
    QFETCH(PlatformChoice, choice);
    QCOMPARE(choosePlatform(qpa, session, wayland, display), choice);
}

void TestPlatformChoice::xcbAlone_data()
{
    QTest::addColumn<QByteArray>("qpa");
    QTest::addColumn<bool>("alone");

    QTest::newRow("xcb") << QByteArray("xcb") << true;
    QTest::newRow("xcb with arguments") << QByteArray("xcb:nograb") << true;
    QTest::newRow("XCB in capitals, spaces") << QByteArray(" XCB ") << true;
    QTest::newRow("xcb with a fallback") << QByteArray("xcb;offscreen") << false;
    QTest::newRow("offscreen") << QByteArray("offscreen") << false;
    QTest::newRow("offscreen with a configuration")
        << QByteArray("offscreen:configfile=/tmp/xcb.json") << false;
    QTest::newRow("windows") << QByteArray("windows") << false;
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    QTest::newRow("Qt's default on Linux") << QByteArray() << true;
#endif
}

void TestPlatformChoice::xcbAlone()
{
    QFETCH(QByteArray, qpa);
    QFETCH(bool, alone);
    QCOMPARE(startsOnXcbAlone(qpa), alone);
}

QTEST_APPLESS_MAIN(TestPlatformChoice)

#include "tst_platformchoice.moc"
