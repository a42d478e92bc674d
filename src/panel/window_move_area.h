#pragma once

// The part of a frameless window that moves it: a left-button drag there moves
// the window with the pointer until the release. Where the system's own move
// works to the end (Windows), the move is handed to it; elsewhere the window
// follows the pointer here, the point it was taken by kept under the pointer,
// also onto a display of another scale. Either way the window never ends up
// more than `overhang` pixels outside the union of the displays, and when a
// display goes or changes, a window left on none moves onto the nearest one,
// keeping its size.
//
// Qt's global coordinates are logical pixels per display, each display's
// starting where its device pixels start; beside a display of another scale
// they leave gaps or overlap. Positions and the displays' union are therefore
// worked out in the desktop's own pixels (the X root window's, Windows' virtual
// screen's) and handed to the window in the logical pixels of the display it
// will be on.

#include <QAbstractNativeEventFilter>
#include <QList>
#include <QPoint>
#include <QPointF>
#include <QPointer>
#include <QQuickItem>
#include <QRect>
#include <QScreen>
#include <QTimer>
#include <QtQml/qqmlregistration.h>

class QQuickWindow;

class WindowMoveArea : public QQuickItem, public QAbstractNativeEventFilter
{
    Q_OBJECT
    QML_ELEMENT
    // How far, in logical pixels, the window may reach beyond the displays
    // (its header's height); never above their top, so that the header stays
    // within reach.
    Q_PROPERTY(int overhang READ overhang WRITE setOverhang NOTIFY overhangChanged)
    // Whether a move runs, from the press until the release.
    Q_PROPERTY(bool moving READ moving NOTIFY movingChanged)

public:
    explicit WindowMoveArea(QQuickItem *parent = nullptr);
    ~WindowMoveArea() override;

    int overhang() const { return m_overhang; }
    void setOverhang(int value);
    bool moving() const { return m_moving; }

    // Where a window of the given geometry may stay, as close as possible to
    // it: all but `overhang` pixels of it left, right and below on the
    // displays (which may share edges), and its top on one. Unchanged where
    // it is so already, and without displays. All in one kind of pixels.
    static QPoint keptOnDisplays(const QRect &window, const QList<QRect> &displays, int overhang);
    // The position nearest to the window's at which it lies whole inside one
    // of the areas (its top-left corner kept inside where it is larger).
    static QPoint ontoDisplay(const QRect &window, const QList<QRect> &areas);
    // Whether the system's move ends with the release here. On X11 Qt asks the
    // window manager for the move with a message that can reach it after the
    // button has gone up already (its xcb platform does so to this day), and
    // the window then follows the pointer until the next click (Openbox);
    // without a window manager nothing moves at all.
    static bool systemMoveWorks();

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

signals:
    void overhangChanged();
    void movingChanged();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseUngrabEvent() override;
    void itemChange(ItemChange change, const ItemChangeData &value) override;

private:
    void watchWindow(QQuickWindow *window);
    void follow(QPointF globalPosition);
    void finish();
    void setMoving(bool value);
    void followScreen(QScreen *screen);
    // Back onto the displays where the window was left off them, after a change
    // of the displays or the system's move.
    void keepOnDisplays();
    // Puts the window at a logical position on a display, noting where that is
    // on the desktop.
    void place(QScreen *on, QPoint logical, QPoint native);
    // Once the window has kept still after a move: back where it was put, if
    // it is not there.
    void settle();

    int m_overhang = 0;
    bool m_moving = false;
    bool m_systemMove = false;
    bool m_filterInstalled = false;
    QPointF m_grab; // where the window was taken, in its logical pixels
    QPointer<QQuickWindow> m_window;
    QTimer m_displaysChanged;
    // Where the window was put last: the display and the corner in its pixels.
    QPointer<QScreen> m_placedOn;
    QPoint m_placedAt;
    QTimer m_settle;
    int m_settleTries = 0;
};
