// One program per user and display: which starts meet (the key), and what a
// start does when another holds the lock: hands over to it while it runs, says
// so when it does not answer, and takes over a lock whose program crashed. The
// other program is this test binary itself, started with --hold.

#include "single_instance.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <cstdio>

#ifdef Q_OS_UNIX
#include <sys/types.h>
#include <unistd.h>
#endif

namespace {

const QString kKey = QStringLiteral("x11|1000|:5");

// --hold <folder> <key>: becomes the first instance, says "first" and stays,
// answering hand-overs with "handed over" on each.
int hold(const QString &folder, const QString &key)
{
    SingleInstance instance(key, folder);
    if (instance.startOrHandOver(2000).has_value() || !instance.isFirst())
        return 2;
    QObject::connect(&instance, &SingleInstance::handOverRequested, [] {
        std::puts("handed over");
        std::fflush(stdout);
    });
    std::puts("first");
    std::fflush(stdout);
    return QCoreApplication::exec();
}

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void key_data();
    void key();
    void secondStart_data();
    void secondStart();
    void aloneWithoutKey();
};

void TestSingleInstance::key_data()
{
    QTest::addColumn<QStringList>("a"); // platform, user, display, session
    QTest::addColumn<QStringList>("b");
    QTest::addColumn<bool>("same");

    const auto x11 = [](const char *user, const char *display) {
        return QStringList{QStringLiteral("xcb"), QLatin1String(user), QLatin1String(display),
                           QString()};
    };
    const auto windows = [](const char *user, const char *session) {
        return QStringList{QStringLiteral("windows"), QLatin1String(user), QString(),
                           QLatin1String(session)};
    };
    QTest::newRow("same display") << x11("1000", ":0") << x11("1000", ":0") << true;
    QTest::newRow("the screen does not count") << x11("1000", ":0") << x11("1000", ":0.1") << true;
    QTest::newRow("unix: is the local server")
        << x11("1000", ":0") << x11("1000", "unix:0.0") << true;
    QTest::newRow("another X server") << x11("1000", ":0") << x11("1000", ":1") << false;
    QTest::newRow("another display number with the same digits")
        << x11("1000", ":1") << x11("1000", ":10") << false;
    QTest::newRow("a remote X server")
        << x11("1000", ":10") << x11("1000", "localhost:10") << false;
    QTest::newRow("another user") << x11("1000", ":0") << x11("1001", ":0") << false;
    QTest::newRow("Windows: same session")
        << windows("LAB\\ana", "Console") << windows("LAB\\ana", "Console") << true;
    QTest::newRow("Windows: another session")
        << windows("LAB\\ana", "Console") << windows("LAB\\ana", "RDP-Tcp#3") << false;
    QTest::newRow("Windows: another user")
        << windows("LAB\\ana", "Console") << windows("LAB\\ben", "Console") << false;
}

void TestSingleInstance::key()
{
    QFETCH(QStringList, a);
    QFETCH(QStringList, b);
    QFETCH(bool, same);
    const QString keyA = SingleInstance::keyFor(a[0], a[1], a[2].toLatin1(), a[3].toLatin1());
    const QString keyB = SingleInstance::keyFor(b[0], b[1], b[2].toLatin1(), b[3].toLatin1());
    QVERIFY(!keyA.isEmpty() && !keyB.isEmpty());
    QCOMPARE(keyA == keyB, same);
}

void TestSingleInstance::secondStart_data()
{
    QTest::addColumn<QString>("first"); // what became of the first program
    QTest::addColumn<int>("expected");  // this start's exit code; -1: it runs itself

    QTest::newRow("the first runs: hand over, exit 0") << QStringLiteral("running") << 0;
#ifdef Q_OS_UNIX
    QTest::newRow("the first hangs: exit 1") << QStringLiteral("stopped") << 1;
#endif
    QTest::newRow("the first crashed: its lock is free") << QStringLiteral("crashed") << -1;
}

void TestSingleInstance::secondStart()
{
    QFETCH(QString, first);
    QFETCH(int, expected);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());

    QProcess holder;
    holder.start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--hold"), folder.path(), kKey});
    QTRY_VERIFY_WITH_TIMEOUT(holder.canReadLine(), 10000);
    QCOMPARE(holder.readLine().trimmed(), QByteArray("first"));
    if (first == QLatin1String("crashed")) {
        holder.kill();
        QVERIFY(holder.waitForFinished(5000));
    }
#ifdef Q_OS_UNIX
    if (first == QLatin1String("stopped"))
        ::kill(pid_t(holder.processId()), SIGSTOP);
#endif

    SingleInstance instance(kKey, folder.path());
    // The first program answers from its own event loop; this one waits meanwhile.
    const std::optional<int> exitCode = instance.startOrHandOver(1500);
    QCOMPARE(exitCode.value_or(-1), expected);
    QCOMPARE(instance.isFirst(), expected == -1);
    if (first == QLatin1String("running")) {
        QTRY_VERIFY_WITH_TIMEOUT(holder.canReadLine(), 5000);
        QCOMPARE(holder.readLine().trimmed(), QByteArray("handed over"));
    }
#ifdef Q_OS_UNIX
    if (first == QLatin1String("stopped"))
        ::kill(pid_t(holder.processId()), SIGCONT);
#endif
    holder.kill();
    holder.waitForFinished(5000);
}

void TestSingleInstance::aloneWithoutKey()
{
    // Platforms without a display or session to share (offscreen) start every instance.
    QVERIFY(SingleInstance::keyFor(QStringLiteral("offscreen"), QStringLiteral("1000"),
                                   QByteArray(":0"), QByteArray())
                .isEmpty());
    QTemporaryDir folder;
    SingleInstance a(QString(), folder.path());
    SingleInstance b(QString(), folder.path());
    QVERIFY(!a.startOrHandOver(100).has_value());
    QVERIFY(!b.startOrHandOver(100).has_value());
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && qstrcmp(argv[1], "--hold") == 0)
        return hold(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    TestSingleInstance test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_singleinstance.moc"
