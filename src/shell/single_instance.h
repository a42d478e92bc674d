#pragma once

// One running program per user and display. A second start hands over to the
// first, which shows and raises its control panel, and ends with exit code 0
// before it has shown a window. The first holds a lock file (QLockFile) named
// after the key; a later start finds the lock taken and asks the first: on X11
// over a local socket (QLocalServer) named after the key, on Windows with a
// message to the windows of the process that holds the lock (Qt for Windows
// may come without its network module, and Windows lets the program the user
// just started give the foreground to the first). A lock left behind by an
// instance that crashed names a process that is gone, and counts as free.
//
// The key is the user's and the display's: on X11 the X server (its host and
// display number; the screen does not count, since the program covers every
// screen it sees), so programs on separate X servers never meet; on Windows the
// log-on session. Platforms without either (offscreen) start every instance.

#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>
#include <optional>

class QQmlApplicationEngine;

class SingleInstance : public QObject
{
    Q_OBJECT

public:
    // The key for this process: the running platform, the user and the
    // environment's DISPLAY or Windows session name.
    static QString sessionKey();
    // The key from its parts; empty for a platform without one. The same user on
    // the same X server gets the same key from every spelling of the display
    // (":0", ":0.1", "unix:0").
    static QString keyFor(const QString &platform, const QString &user, const QByteArray &display,
                          const QByteArray &windowsSession);

    // Files and the socket go where the user's runtime files go (XDG_RUNTIME_DIR),
    // else into the temporary folder; `folder` names another one (tests).
    explicit SingleInstance(const QString &key, const QString &folder = QString(),
                            QObject *parent = nullptr);
    ~SingleInstance() override;
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;

    // Becomes the first instance (nothing returned), or hands over to the one
    // that runs and returns this start's exit code: 0 once the first has shown
    // its panel, 1 after one line on stderr when it did not answer in time.
    // Without a key, or where the lock can't be written, the program just runs.
    [[nodiscard]] std::optional<int> startOrHandOver(int timeoutMs = 10000);

    bool isFirst() const { return m_first; }

    // At each hand-over: shows the engine's first window (the control panel),
    // also when it was minimised, raises it and asks for the keyboard.
    void presentOnHandOver(QQmlApplicationEngine &engine);

signals:
    // Another start asked this one to show itself.
    void handOverRequested();

private:
    // How the first instance hears a later start: a local socket, or on Windows
    // the message to its windows.
    class Channel;
    void listen();
    bool askFirstToShow(int timeoutMs);

    QString m_key;
    QString m_serverName;
    QLockFile m_lock;
    std::unique_ptr<Channel> m_channel;
    bool m_first = false;
};
