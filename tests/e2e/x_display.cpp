#include "x_display.h"

#include <QByteArray>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <xcb/shape.h>
#include <xcb/xcb.h>

namespace {

template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T> Reply<T> reply(T *r)
{
    return Reply<T>(r, &std::free);
}

} // namespace

XDisplay::XDisplay()
{
    int screenNumber = 0;
    xcb_connection_t *c = xcb_connect(nullptr, &screenNumber);
    if (!c || xcb_connection_has_error(c)) {
        if (c)
            xcb_disconnect(c);
        return;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && it.rem; ++i)
        xcb_screen_next(&it);
    if (!it.rem) {
        xcb_disconnect(c);
        return;
    }
    m_connection = c;
    m_root = it.data->root;
    m_screen = screenNumber;
}

XDisplay::~XDisplay()
{
    if (m_connection)
        xcb_disconnect(m_connection);
}

QRect XDisplay::rootGeometry() const
{
    auto g = reply(
        xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, m_root), nullptr));
    return g ? QRect(0, 0, g->width, g->height) : QRect();
}

quint32 XDisplay::atom(const char *name) const
{
    if (const auto known = m_atoms.constFind(name); known != m_atoms.cend())
        return *known;
    auto r = reply(xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, 0, uint16_t(std::strlen(name)), name),
        nullptr));
    if (!r)
        return 0;
    m_atoms.insert(name, r->atom);
    return r->atom;
}

QString XDisplay::atomName(quint32 a) const
{
    if (const auto known = m_atomNames.constFind(a); known != m_atomNames.cend())
        return *known;
    auto r
        = reply(xcb_get_atom_name_reply(m_connection, xcb_get_atom_name(m_connection, a), nullptr));
    if (!r)
        return {};
    const QString name = QString::fromLatin1(xcb_get_atom_name_name(r.get()),
                                             xcb_get_atom_name_name_length(r.get()));
    m_atomNames.insert(a, name);
    return name;
}

QList<XTopLevel> XDisplay::topLevels() const
{
    QList<XTopLevel> result;
    if (!m_connection)
        return result;
    auto tree
        = reply(xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, m_root), nullptr));
    if (!tree)
        return result;
    const xcb_window_t *children = xcb_query_tree_children(tree.get());
    const int count = xcb_query_tree_children_length(tree.get());
    for (int i = 0; i < count; ++i) {
        // Under a window manager the program's window is a child of its frame.
        if (const std::optional<XTopLevel> w = window(clientOf(children[i])))
            result << *w; // else gone meanwhile
    }
    return result;
}

std::optional<XTopLevel> XDisplay::window(quint32 id) const
{
    if (!m_connection)
        return std::nullopt;
    XTopLevel w;
    w.id = id;
    auto attrs = reply(xcb_get_window_attributes_reply(
        m_connection, xcb_get_window_attributes(m_connection, w.id), nullptr));
    auto geo = reply(
        xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, w.id), nullptr));
    auto origin = reply(xcb_translate_coordinates_reply(
        m_connection, xcb_translate_coordinates(m_connection, w.id, m_root, 0, 0), nullptr));
    if (!attrs || !geo || !origin)
        return std::nullopt;
    w.mapped = attrs->map_state == XCB_MAP_STATE_VIEWABLE;
    w.geometry = QRect(origin->dst_x, origin->dst_y, geo->width, geo->height);
    auto pid = reply(xcb_get_property_reply(
        m_connection,
        xcb_get_property(m_connection, 0, w.id, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 0, 1),
        nullptr));
    if (pid && xcb_get_property_value_length(pid.get()) == 4)
        w.pid = *static_cast<const quint32 *>(xcb_get_property_value(pid.get()));
    auto name = reply(xcb_get_property_reply(
        m_connection,
        xcb_get_property(m_connection, 0, w.id, atom("_NET_WM_NAME"), XCB_ATOM_ANY, 0, 256),
        nullptr));
    if (name)
        w.title = QString::fromUtf8(static_cast<const char *>(xcb_get_property_value(name.get())),
                                    xcb_get_property_value_length(name.get()));
    const auto atomNames = [&](const char *property) {
        QStringList names;
        auto value = reply(xcb_get_property_reply(
            m_connection,
            xcb_get_property(m_connection, 0, w.id, atom(property), XCB_ATOM_ATOM, 0, 32),
            nullptr));
        if (value) {
            const auto *atoms
                = static_cast<const xcb_atom_t *>(xcb_get_property_value(value.get()));
            const int n = xcb_get_property_value_length(value.get()) / 4;
            for (int k = 0; k < n; ++k)
                names << atomName(atoms[k]);
        }
        return names;
    };
    w.types = atomNames("_NET_WM_WINDOW_TYPE");
    w.states = atomNames("_NET_WM_STATE");
    return w;
}

quint32 XDisplay::inputFocus() const
{
    if (!m_connection)
        return 0;
    auto r = reply(
        xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    return r ? r->focus : 0;
}

void XDisplay::lower(quint32 window) const
{
    if (!m_connection)
        return;
    const uint32_t below = XCB_STACK_MODE_BELOW;
    xcb_configure_window(m_connection, window, XCB_CONFIG_WINDOW_STACK_MODE, &below);
    free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
}

quint32 XDisplay::clientOf(quint32 topLevel) const
{
    const quint32 stateAtom = atom("WM_STATE");
    const auto hasState = [this, stateAtom](xcb_window_t w) {
        auto state = reply(xcb_get_property_reply(
            m_connection, xcb_get_property(m_connection, 0, w, stateAtom, XCB_ATOM_ANY, 0, 0),
            nullptr));
        return state && state->type != XCB_NONE;
    };
    if (hasState(topLevel))
        return topLevel;
    // A frame holds its client a level or two down (Openbox: frame, then client).
    QList<xcb_window_t> level{topLevel};
    for (int depth = 0; depth < 3 && !level.isEmpty(); ++depth) {
        QList<xcb_window_t> next;
        for (xcb_window_t w : level) {
            auto tree = reply(
                xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, w), nullptr));
            if (!tree)
                continue;
            const xcb_window_t *children = xcb_query_tree_children(tree.get());
            for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
                if (hasState(children[i]))
                    return children[i];
                next << children[i];
            }
        }
        level = next;
    }
    return topLevel;
}

QRect XDisplay::rootRect(quint32 window) const
{
    auto geo = reply(
        xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, window), nullptr));
    auto origin = reply(xcb_translate_coordinates_reply(
        m_connection, xcb_translate_coordinates(m_connection, window, m_root, 0, 0), nullptr));
    if (!geo || !origin)
        return {};
    return QRect(origin->dst_x, origin->dst_y, geo->width, geo->height);
}

QList<QRect> XDisplay::shape(quint32 window, int kind) const
{
    QList<QRect> result;
    const QRect placed = rootRect(window);
    auto r = reply(xcb_shape_get_rectangles_reply(
        m_connection, xcb_shape_get_rectangles(m_connection, window, xcb_shape_kind_t(kind)),
        nullptr));
    if (placed.isNull() || !r)
        return result;
    const xcb_rectangle_t *rects = xcb_shape_get_rectangles_rectangles(r.get());
    const int n = xcb_shape_get_rectangles_rectangles_length(r.get());
    for (int i = 0; i < n; ++i)
        result << QRect(placed.x() + rects[i].x, placed.y() + rects[i].y, rects[i].width,
                        rects[i].height);
    return result;
}

QList<QRect> XDisplay::inputShape(quint32 window) const
{
    return shape(window, XCB_SHAPE_SK_INPUT);
}

QList<QRect> XDisplay::boundingShape(quint32 window) const
{
    return shape(window, XCB_SHAPE_SK_BOUNDING);
}

quint32 XDisplay::selectionOwner(const char *selection) const
{
    if (!m_connection)
        return 0;
    auto r = reply(xcb_get_selection_owner_reply(
        m_connection, xcb_get_selection_owner(m_connection, atom(selection)), nullptr));
    return r ? r->owner : 0;
}

bool XDisplay::compositingManagerRunning() const
{
    return selectionOwner(QByteArray("_NET_WM_CM_S" + QByteArray::number(m_screen)).constData())
           != 0;
}

bool XDisplay::windowManagerRunning() const
{
    return selectionOwner(QByteArray("WM_S" + QByteArray::number(m_screen)).constData()) != 0;
}

QImage XDisplay::grab(const QRect &area) const
{
    const QRect a = area.intersected(rootGeometry());
    if (!m_connection || a.isEmpty())
        return {};
    auto img = reply(xcb_get_image_reply(
        m_connection,
        xcb_get_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, m_root, int16_t(a.x()),
                      int16_t(a.y()), uint16_t(a.width()), uint16_t(a.height()), ~0u),
        nullptr));
    if (!img || img->depth < 24)
        return {};
    const int bytes = xcb_get_image_data_length(img.get());
    if (bytes < a.width() * a.height() * 4)
        return {};
    // 24-bit depth in 32 bits per pixel, little endian: the layout of RGB32.
    QImage copy(xcb_get_image_data(img.get()), a.width(), a.height(), a.width() * 4,
                QImage::Format_RGB32);
    return copy.copy();
}

QString XDisplay::describe(const QList<XTopLevel> &windows)
{
    QStringList lines;
    for (const XTopLevel &w : windows) {
        if (!w.mapped)
            continue;
        lines << QStringLiteral("  0x%1 %2x%3+%4+%5 pid %6 \"%7\" [%8]")
                     .arg(w.id, 0, 16)
                     .arg(w.geometry.width())
                     .arg(w.geometry.height())
                     .arg(w.geometry.x())
                     .arg(w.geometry.y())
                     .arg(w.pid)
                     .arg(w.title, w.types.join(QLatin1Char(',')));
    }
    return lines.isEmpty() ? QStringLiteral("  (no mapped window)") : lines.join(QLatin1Char('\n'));
}
