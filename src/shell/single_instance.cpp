#include "single_instance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QThread>
#include <QWindow>
#include <cstdio>

#ifdef Q_OS_WIN
#include "win32/handover_win32.h"

#include <QAbstractNativeEventFilter>
#else
#include <QLocalServer>
#include <QLocalSocket>
#include <unistd.h>
#endif

namespace {

#ifndef Q_OS_WIN
constexpr char kShowRequest[] = "show\n";
constexpr char kShownAnswer[] = "shown\n";
#endif
// How long one attempt to reach the first instance may take.
constexpr int kAttemptMs = 1000;
// Between attempts: the first instance may be starting (lock taken, socket not
// yet open) or ending (socket closed, lock not yet released).
constexpr int kRetryMs = 100;

// The X server a display name means: "host:number", without the screen, with the
// local spellings ("", "unix") as one.
QByteArray xServerOf(const QByteArray &display)
{
    const QByteArray trimmed = display.trimmed();
    const int colon = trimmed.lastIndexOf(':');
    if (colon < 0)
        return trimmed;
    QByteArray host = trimmed.left(colon).toLower();
    if (host == "unix" || host == "localhost/unix")
        host.clear();
    QByteArray number = trimmed.mid(colon + 1);
    if (const int dot = number.indexOf('.'); dot >= 0)
        number.truncate(dot);
    return host + ':' + number;
}

QString folderForFiles(const QString &folder)
{
    if (!folder.isEmpty())
        return folder;
#ifdef Q_OS_UNIX
    // The user's own, private folder for files that live as long as the session.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir() && QFileInfo(runtime).isWritable())
        return runtime;
#endif
    return QDir::tempPath();
}

QString baseName(const QString &key)
{
    return QStringLiteral("zrn-calipers-")
           + QString::fromLatin1(
               QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha256).toHex().left(16));
}

} // namespace

#ifdef Q_OS_WIN
namespace win32 = zrn::overlay::win32;

// The message to the first instance's windows, answered from its window procedure
// (Qt's native event filters see the messages sent to its windows).
class SingleInstance::Channel final : public QAbstractNativeEventFilter
{
public:
    explicit Channel(SingleInstance &instance) : m_instance(instance)
    {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~Channel() override
    {
        if (QCoreApplication *app = QCoreApplication::instance())
            app->removeNativeEventFilter(this);
    }
    Channel(const Channel &) = delete;
    Channel &operator=(const Channel &) = delete;

    bool nativeEventFilter(const QByteArray &, void *message, qintptr *result) override
    {
        if (!win32::isShowRequest(message))
            return false;
        // Shown once the window procedure has returned: the request comes from
        // inside another program's SendMessage.
        QMetaObject::invokeMethod(
            &m_instance, [instance = &m_instance] { emit instance->handOverRequested(); },
            Qt::QueuedConnection);
        if (result)
            *result = win32::kShownAnswer;
        return true;
    }

private:
    SingleInstance &m_instance;
};
#else
// A local socket named after the key; each request gets its answer once the
// panel has been shown.
class SingleInstance::Channel final
{
public:
    Channel(SingleInstance &instance, const QString &name)
    {
        m_server.setSocketOptions(QLocalServer::UserAccessOption);
        // The lock is ours, so a socket left by a program that crashed is stale.
        QLocalServer::removeServer(name);
        if (!m_server.listen(name))
            return; // later starts then find nobody to ask and say so
        QObject::connect(&m_server, &QLocalServer::newConnection, &m_server, [this, &instance] {
            while (QLocalSocket *socket = m_server.nextPendingConnection()) {
                QObject::connect(socket, &QLocalSocket::disconnected, socket,
                                 &QObject::deleteLater);
                QObject::connect(socket, &QLocalSocket::readyRead, socket, [&instance, socket] {
                    if (!socket->canReadLine())
                        return;
                    if (socket->readLine() == kShowRequest) {
                        emit instance.handOverRequested();
                        socket->write(kShownAnswer);
                    }
                    socket->disconnectFromServer();
                });
            }
        });
    }

private:
    QLocalServer m_server;
};
#endif

QString SingleInstance::keyFor(const QString &platform, const QString &user,
                               const QByteArray &display, const QByteArray &windowsSession)
{
    if (platform == QLatin1String("xcb"))
        return QStringLiteral("x11|%1|%2").arg(user, QString::fromLocal8Bit(xServerOf(display)));
    if (platform == QLatin1String("windows") || platform == QLatin1String("direct2d"))
        return QStringLiteral("windows|%1|%2").arg(user, QString::fromLocal8Bit(windowsSession));
    return {};
}

QString SingleInstance::sessionKey()
{
#ifdef Q_OS_UNIX
    const QString user = QString::number(::getuid());
#else
    const QString user
        = qEnvironmentVariable("USERDOMAIN") + QLatin1Char('\\') + qEnvironmentVariable("USERNAME");
#endif
    return keyFor(QGuiApplication::platformName(), user, qgetenv("DISPLAY"),
                  qgetenv("SESSIONNAME"));
}

SingleInstance::SingleInstance(const QString &key, const QString &folder, QObject *parent)
    : QObject(parent), m_key(key),
      m_lock(QDir(folderForFiles(folder)).filePath(baseName(key) + QStringLiteral(".lock")))
{
#ifndef Q_OS_WIN
    m_serverName = QDir(folderForFiles(folder)).filePath(baseName(key) + QStringLiteral(".socket"));
#endif
    // Held for the program's whole life: never stale by age, only when its
    // process is gone.
    m_lock.setStaleLockTime(0);
}

SingleInstance::~SingleInstance()
{
    // The channel first, so that a start from now on finds nobody to ask and
    // waits for the lock rather than asking a program that is ending.
    m_channel.reset();
}

std::optional<int> SingleInstance::startOrHandOver(int timeoutMs)
{
    if (m_key.isEmpty())
        return std::nullopt;
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        if (m_lock.tryLock(0)) {
            listen();
            return std::nullopt;
        }
        // Where the lock can't be written at all nobody can coordinate: run.
        if (m_lock.error() != QLockFile::LockFailedError)
            return std::nullopt;
        if (askFirstToShow(int(std::min<qint64>(kAttemptMs, deadline.remainingTime()))))
            return 0;
        if (deadline.hasExpired()) {
            std::fputs("ZRN Calipers is running already on this display, but did not answer; "
                       "end it, or wait until it has started.\n",
                       stderr);
            return 1;
        }
        QThread::msleep(kRetryMs);
    }
}

void SingleInstance::listen()
{
    m_first = true;
#ifdef Q_OS_WIN
    m_channel = std::make_unique<Channel>(*this);
#else
    m_channel = std::make_unique<Channel>(*this, m_serverName);
#endif
}

bool SingleInstance::askFirstToShow(int timeoutMs)
{
    const QDeadlineTimer deadline(std::max(timeoutMs, 1));
#ifdef Q_OS_WIN
    qint64 pid = 0;
    if (!m_lock.getLockInfo(&pid, nullptr, nullptr) || pid <= 0)
        return false;
    return win32::askProcessToShow(std::uint32_t(pid), unsigned(deadline.remainingTime()));
#else
    QLocalSocket socket;
    socket.connectToServer(m_serverName);
    if (!socket.waitForConnected(int(deadline.remainingTime())))
        return false;
    socket.write(kShowRequest);
    if (!socket.waitForBytesWritten(int(deadline.remainingTime())))
        return false;
    QByteArray answer;
    while (!answer.endsWith('\n') && !deadline.hasExpired()) {
        if (!socket.waitForReadyRead(int(std::max<qint64>(deadline.remainingTime(), 1))))
            break;
        answer += socket.readAll();
    }
    return answer == kShownAnswer;
#endif
}

void SingleInstance::presentOnHandOver(QQmlApplicationEngine &engine)
{
    connect(this, &SingleInstance::handOverRequested, &engine, [&engine] {
        const QList<QObject *> roots = engine.rootObjects();
        auto *window = roots.isEmpty() ? nullptr : qobject_cast<QWindow *>(roots.first());
        if (!window)
            return;
        if (window->windowStates() & Qt::WindowMinimized)
            window->showNormal();
        else
            window->show();
        window->raise();
        window->requestActivate();
    });
}
