#pragma once
// Whether a window manager or a compositing manager runs on an X screen,
// followed while the program runs. Each owns its manager selection, WM_S<screen>
// or _NET_WM_CM_S<screen>; XFixes reports every change of its owner. Without a
// compositing manager the X server shows the pixels of a transparent window
// opaque; without a window manager nobody keeps a window on top.

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <cstdint>
#include <memory>

struct xcb_connection_t;

class ManagerSelectionWatch : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT
    Q_PROPERTY(bool active READ active NOTIFY activeChanged)

public:
    enum class Manager { Window, Compositing };

    // Watches the X screen whose root window is `root`, through the application's
    // connection (its events reach the watch as native events). Null where that
    // screen cannot be told or XFixes is missing.
    static std::unique_ptr<ManagerSelectionWatch> create(xcb_connection_t *connection,
                                                         std::uint32_t root, Manager manager);
    ~ManagerSelectionWatch() override;

    bool active() const { return m_active; }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

signals:
    void activeChanged();

private:
    ManagerSelectionWatch(std::uint32_t selection, std::uint8_t firstEvent, bool active);

    std::uint32_t m_selection = 0;
    std::uint8_t m_firstEvent = 0;
    bool m_active = false;
};
