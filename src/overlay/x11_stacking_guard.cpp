#include "x11_stacking_guard.h"

#include "manager_selection_watch.h"
#include "xcb_reply.h"

#include <QCoreApplication>
#include <QRegion>
#include <algorithm>
#include <map>
#include <xcb/xcb.h>

namespace {

constexpr int kMaxRaisesPerSecond = 8;
constexpr int kBurstMs = 1000;

std::map<std::uint32_t, std::weak_ptr<X11StackingGuard>> &guards()
{
    static std::map<std::uint32_t, std::weak_ptr<X11StackingGuard>> byRoot;
    return byRoot;
}

} // namespace

std::shared_ptr<X11StackingGuard> X11StackingGuard::forRoot(xcb_connection_t *connection,
                                                            std::uint32_t root)
{
    if (!connection || root == XCB_NONE || !QCoreApplication::instance())
        return nullptr;
    if (auto existing = guards()[root].lock())
        return existing;
    auto windowManager
        = ManagerSelectionWatch::create(connection, root, ManagerSelectionWatch::Manager::Window);
    if (!windowManager)
        return nullptr;
    std::shared_ptr<X11StackingGuard> guard(
        new X11StackingGuard(connection, root, std::move(windowManager)));
    guards()[root] = guard;
    return guard;
}

X11StackingGuard::X11StackingGuard(xcb_connection_t *connection, std::uint32_t root,
                                   std::unique_ptr<ManagerSelectionWatch> windowManager)
    : m_connection(connection), m_root(root), m_windowManager(std::move(windowManager))
{
    const xcb_setup_t *setup = xcb_get_setup(connection);
    m_idBase = setup->resource_id_base;
    m_idMask = setup->resource_id_mask;
    m_check.setSingleShot(true);
    QObject::connect(&m_check, &QTimer::timeout, &m_check, [this] { check(); });
    QObject::connect(m_windowManager.get(), &ManagerSelectionWatch::activeChanged,
                     m_windowManager.get(), [this] { follow(); });
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11StackingGuard::~X11StackingGuard()
{
    if (QCoreApplication *app = QCoreApplication::instance())
        app->removeNativeEventFilter(this);
    m_windows.clear();
    follow();
    guards().erase(m_root);
}

void X11StackingGuard::add(std::uint32_t window)
{
    if (window == XCB_NONE
        || std::find(m_windows.begin(), m_windows.end(), window) != m_windows.end())
        return;
    m_windows.push_back(window);
    follow();
    queueCheck();
}

void X11StackingGuard::remove(std::uint32_t window)
{
    m_windows.erase(std::remove(m_windows.begin(), m_windows.end(), window), m_windows.end());
    follow();
}

bool X11StackingGuard::isOurs(std::uint32_t window) const
{
    return (window & ~m_idMask) == m_idBase;
}

void X11StackingGuard::follow()
{
    const bool wanted = !m_windows.empty() && !m_windowManager->active();
    if (wanted == m_following)
        return;
    m_following = wanted;
    auto attributes = xcbReply(xcb_get_window_attributes_reply(
        m_connection, xcb_get_window_attributes(m_connection, m_root), nullptr));
    if (!attributes)
        return;
    std::uint32_t mask = attributes->your_event_mask;
    if (wanted && !(mask & XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY)) {
        mask |= XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        m_addedToRootMask = true;
    } else if (!wanted && m_addedToRootMask) {
        // Only what was added here goes again: the rest of the mask is Qt's.
        mask &= ~std::uint32_t(XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY);
        m_addedToRootMask = false;
    } else {
        return;
    }
    xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(m_connection);
    if (wanted)
        queueCheck();
}

void X11StackingGuard::queueCheck()
{
    if (m_following && !m_check.isActive())
        m_check.start(0);
}

bool X11StackingGuard::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (!m_following || eventType != "xcb_generic_event_t" || !message)
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    switch (event->response_type & 0x7f) {
    case XCB_MAP_NOTIFY: {
        const auto *map = static_cast<const xcb_map_notify_event_t *>(message);
        if (map->event == m_root && !map->override_redirect && !isOurs(map->window))
            queueCheck();
        return false;
    }
    case XCB_CONFIGURE_NOTIFY: {
        const auto *configure = static_cast<const xcb_configure_notify_event_t *>(message);
        if (configure->event != m_root || configure->window == m_root)
            return false;
        if (!configure->override_redirect)
            queueCheck();
        // Selected here only: Qt takes every configure reported on its root
        // window for a change of the screens, and would read them all again.
        return true;
    }
    default:
        return false;
    }
}

void X11StackingGuard::check()
{
    if (!m_following || m_windows.empty())
        return;
    xcb_connection_t *c = m_connection;
    auto tree = xcbReply(xcb_query_tree_reply(c, xcb_query_tree(c, m_root), nullptr));
    if (!tree)
        return;
    const xcb_window_t *children = xcb_query_tree_children(tree.get());
    const int count = xcb_query_tree_children_length(tree.get());
    // Bottom of the stack first.
    int lowest = -1;
    for (int i = 0; i < count && lowest < 0; ++i) {
        if (std::find(m_windows.begin(), m_windows.end(), children[i]) != m_windows.end())
            lowest = i;
    }
    if (lowest < 0)
        return;

    // Everything from the lowest overlay up, asked at once.
    std::vector<xcb_get_window_attributes_cookie_t> attributeCookies;
    std::vector<xcb_get_geometry_cookie_t> geometryCookies;
    for (int i = lowest; i < count; ++i) {
        attributeCookies.push_back(xcb_get_window_attributes(c, children[i]));
        geometryCookies.push_back(xcb_get_geometry(c, children[i]));
    }
    struct Child
    {
        xcb_window_t id;
        bool viewable;
        bool overrideRedirect;
        bool drawn;
        QRect geometry;
    };
    std::vector<Child> above;
    for (int i = lowest; i < count; ++i) {
        const auto k = std::size_t(i - lowest);
        auto attributes
            = xcbReply(xcb_get_window_attributes_reply(c, attributeCookies[k], nullptr));
        auto geometry = xcbReply(xcb_get_geometry_reply(c, geometryCookies[k], nullptr));
        if (!attributes || !geometry)
            continue;
        const int border = 2 * geometry->border_width;
        above.push_back(
            {children[i], attributes->map_state == XCB_MAP_STATE_VIEWABLE,
             attributes->override_redirect != 0,
             attributes->_class == XCB_WINDOW_CLASS_INPUT_OUTPUT,
             QRect(geometry->x, geometry->y, geometry->width + border, geometry->height + border)});
    }

    QRegion overlays;
    for (const Child &child : above) {
        if (child.viewable
            && std::find(m_windows.begin(), m_windows.end(), child.id) != m_windows.end())
            overlays += child.geometry;
    }
    // Another program's window, of the kind that stays (menus and tooltips set
    // override-redirect and are gone in a moment), over an overlay.
    const bool covered = std::any_of(above.begin(), above.end(), [&](const Child &child) {
        return !isOurs(child.id) && child.viewable && child.drawn && !child.overrideRedirect
               && overlays.intersects(child.geometry);
    });
    if (!covered)
        return;

    if (!m_burst.isValid() || m_burst.elapsed() > kBurstMs) {
        m_burst.start();
        m_raisesInBurst = 0;
    }
    if (++m_raisesInBurst > kMaxRaisesPerSecond) {
        m_check.start(int(kBurstMs - std::min<qint64>(m_burst.elapsed(), kBurstMs)) + 1);
        return;
    }
    // Each to the top in turn keeps their order among themselves.
    const std::uint32_t top = XCB_STACK_MODE_ABOVE;
    for (const Child &child : above) {
        if (isOurs(child.id) && child.viewable)
            xcb_configure_window(c, child.id, XCB_CONFIG_WINDOW_STACK_MODE, &top);
    }
    xcb_flush(c);
}
