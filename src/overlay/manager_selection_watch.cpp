#include "manager_selection_watch.h"

#include "xcb_reply.h"

#include <QCoreApplication>
#include <cstdlib>
#include <cstring>
#include <string>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>

namespace {

// The number of the X screen whose root window is `root`, or -1.
int screenNumberOf(xcb_connection_t *connection, xcb_window_t root)
{
    int number = 0;
    for (xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection)); it.rem;
         xcb_screen_next(&it), ++number) {
        if (it.data->root == root)
            return number;
    }
    return -1;
}

} // namespace

std::unique_ptr<ManagerSelectionWatch>
ManagerSelectionWatch::create(xcb_connection_t *connection, std::uint32_t root, Manager manager)
{
    if (!connection || !QCoreApplication::instance())
        return nullptr;
    const int screen = screenNumberOf(connection, root);
    const xcb_query_extension_reply_t *xfixes = xcb_get_extension_data(connection, &xcb_xfixes_id);
    if (screen < 0 || !xfixes || !xfixes->present)
        return nullptr;
    // XFixes answers only clients that announced the version they speak.
    const auto version = xcbReply(xcb_xfixes_query_version_reply(
        connection,
        xcb_xfixes_query_version(connection, XCB_XFIXES_MAJOR_VERSION, XCB_XFIXES_MINOR_VERSION),
        nullptr));
    if (!version || version->major_version < 1)
        return nullptr;

    const std::string name
        = (manager == Manager::Window ? "WM_S" : "_NET_WM_CM_S") + std::to_string(screen);
    const auto atom = xcbReply(xcb_intern_atom_reply(
        connection,
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.c_str()),
        nullptr));
    if (!atom)
        return nullptr;

    // Listen first, then ask: a change in between is not missed. Qt's own
    // interest in the same selection uses the same events, so it stays served.
    xcb_xfixes_select_selection_input(connection, root, atom->atom,
                                      XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER
                                          | XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY
                                          | XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    const auto owner = xcbReply(xcb_get_selection_owner_reply(
        connection, xcb_get_selection_owner(connection, atom->atom), nullptr));
    const bool active = owner && owner->owner != XCB_NONE;

    std::unique_ptr<ManagerSelectionWatch> watch(
        new ManagerSelectionWatch(atom->atom, xfixes->first_event, active));
    QCoreApplication::instance()->installNativeEventFilter(watch.get());
    return watch;
}

ManagerSelectionWatch::ManagerSelectionWatch(std::uint32_t selection, std::uint8_t firstEvent,
                                             bool active)
    : m_selection(selection), m_firstEvent(firstEvent), m_active(active)
{}

ManagerSelectionWatch::~ManagerSelectionWatch()
{
    if (QCoreApplication *app = QCoreApplication::instance())
        app->removeNativeEventFilter(this);
}

bool ManagerSelectionWatch::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (eventType != "xcb_generic_event_t" || !message)
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    if ((event->response_type & 0x7f) != m_firstEvent + XCB_XFIXES_SELECTION_NOTIFY)
        return false;
    const auto *notify = static_cast<const xcb_xfixes_selection_notify_event_t *>(message);
    if (notify->selection != m_selection)
        return false;
    const bool active = notify->subtype == XCB_XFIXES_SELECTION_EVENT_SET_SELECTION_OWNER
                        && notify->owner != XCB_NONE;
    if (active != m_active) {
        m_active = active;
        emit activeChanged();
    }
    // Qt follows the same selection for its own purposes.
    return false;
}
