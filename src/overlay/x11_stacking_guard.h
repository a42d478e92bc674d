#pragma once
// Keeps the overlays on top of an X screen that has no window manager. There,
// nobody honours "stay on top": a window that another program maps or raises
// later covers the calipers. The guard follows the stacking of the root's
// children (their MapNotify and ConfigureNotify) and, when another program's
// window lies above an overlay and overlaps it, raises this program's windows
// above it again in their own order (overlays, the stand-ins over them, the
// panel above all). Raising never changes the keyboard focus. Where a window
// manager runs, stacking is its business and the guard stays out of it; the
// window manager is followed while the program runs.
//
// One guard serves every overlay on a screen; the overlays share it.

#include <QAbstractNativeEventFilter>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <vector>

struct xcb_connection_t;
class ManagerSelectionWatch;

class X11StackingGuard final : public QAbstractNativeEventFilter
{
public:
    // The guard of the screen whose root window is `root`, made at the first
    // request and kept while an overlay holds it. Null where the window manager
    // can't be followed (no XFixes).
    static std::shared_ptr<X11StackingGuard> forRoot(xcb_connection_t *connection,
                                                     std::uint32_t root);
    ~X11StackingGuard() override;
    X11StackingGuard(const X11StackingGuard &) = delete;
    X11StackingGuard &operator=(const X11StackingGuard &) = delete;

    // An overlay's native window to keep on top, and its going.
    void add(std::uint32_t window);
    void remove(std::uint32_t window);

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

private:
    X11StackingGuard(xcb_connection_t *connection, std::uint32_t root,
                     std::unique_ptr<ManagerSelectionWatch> windowManager);

    // Listens to the root's children while there are overlays and no window manager.
    void follow();
    void queueCheck();
    // Raises this program's windows when another one covers an overlay.
    void check();
    bool isOurs(std::uint32_t window) const;

    xcb_connection_t *m_connection = nullptr;
    std::uint32_t m_root = 0;
    std::uint32_t m_idBase = 0;
    std::uint32_t m_idMask = 0;
    std::unique_ptr<ManagerSelectionWatch> m_windowManager;
    std::vector<std::uint32_t> m_windows;
    bool m_following = false;
    bool m_addedToRootMask = false;
    QTimer m_check;
    // Another program that keeps itself on top the same way must not turn the
    // two into a busy loop: a few raises a second at most.
    QElapsedTimer m_burst;
    int m_raisesInBurst = 0;
};
