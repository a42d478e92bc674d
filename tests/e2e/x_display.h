#pragma once
// What the X server shows, read back without going through Qt: the top-level
// windows with their geometry, owner and type, their XShape input and bounding
// shapes, and the pixels of the root window. Under a window manager a top-level
// window is the client in a frame (the window that carries WM_STATE), in the
// stacking place of its frame.

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>
#include <optional>

struct xcb_connection_t;

struct XTopLevel
{
    quint32 id = 0; // the client window, framed or not
    QRect geometry; // root (physical) pixels
    bool mapped = false;
    qint64 pid = 0;     // _NET_WM_PID, 0 when absent
    QString title;      // _NET_WM_NAME
    QStringList types;  // _NET_WM_WINDOW_TYPE atom names
    QStringList states; // _NET_WM_STATE atom names
};

class XDisplay
{
public:
    XDisplay();
    ~XDisplay();
    XDisplay(const XDisplay &) = delete;
    XDisplay &operator=(const XDisplay &) = delete;

    bool isOpen() const { return m_connection != nullptr; }
    QRect rootGeometry() const;

    // Children of the root window, bottom of the stack first; under a window
    // manager, the client each frame holds.
    QList<XTopLevel> topLevels() const;
    // One window, also one inside a window manager's frame; none when it is gone.
    std::optional<XTopLevel> window(quint32 id) const;

    // The window that has the keyboard focus (or PointerRoot, 1).
    quint32 inputFocus() const;
    // Puts a top-level window at the bottom of the stack, as another program may.
    void lower(quint32 window) const;

    // Shapes in root coordinates. A window without a shape of that kind reports its
    // own rectangle, as the server does.
    QList<QRect> inputShape(quint32 window) const;
    QList<QRect> boundingShape(quint32 window) const;

    // The owner of a selection, 0 when it has none.
    quint32 selectionOwner(const char *selection) const;
    // A compositing manager owns _NET_WM_CM_S<screen>, a window manager WM_S<screen>.
    bool compositingManagerRunning() const;
    bool windowManagerRunning() const;

    // Pixels of the root window (what is on screen) as RGB32.
    QImage grab(const QRect &area) const;

    static QString describe(const QList<XTopLevel> &windows);

private:
    quint32 atom(const char *name) const;
    QString atomName(quint32 atom) const;
    QList<QRect> shape(quint32 window, int kind) const;
    quint32 clientOf(quint32 topLevel) const;
    QRect rootRect(quint32 window) const;

    mutable QHash<QByteArray, quint32> m_atoms;
    mutable QHash<quint32, QString> m_atomNames;
    xcb_connection_t *m_connection = nullptr;
    quint32 m_root = 0;
    int m_screen = 0;
};
