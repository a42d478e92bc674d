#include "caliper_scene.h"

#include "caliper_sprites.h"
#include "correction_input.h"
#include "label_layout.h"
#include "native_overlay_window.h"
#include "overlay_controller.h"
#include "scene_nodes.h"

#include <QCursor>
#include <QQuickWindow>
#include <algorithm>
#include <cmath>

namespace scene = zrn::scene;

namespace {

bool isFinite(const MeasurementRow &row)
{
    return std::isfinite(row.startX) && std::isfinite(row.endX) && std::isfinite(row.y);
}

bool sameSprites(const std::vector<scene::Sprite> &a, const std::vector<scene::Sprite> &b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const scene::Sprite &x, const scene::Sprite &y) {
                          return x.origin == y.origin && x.image.cacheKey() == y.image.cacheKey();
                      });
}

} // namespace

// Per scene, on the GUI thread: handles and rings once per size and colour,
// labels once per text.
struct CaliperScene::Sprites : scene::SpriteCache
{
};

CaliperScene::CaliperScene(QQuickItem *parent)
    : QQuickItem(parent), m_sprites(std::make_unique<Sprites>())
{
    setFlag(ItemHasContents);
    setAcceptedMouseButtons(Qt::LeftButton | Qt::RightButton);
    setAcceptHoverEvents(true);
}

CaliperScene::~CaliperScene()
{
    // A drag that goes with its overlay stores nothing: the preview ends.
    if (m_drag && m_controller)
        m_controller->clearDragPreview();
}

void CaliperScene::setController(OverlayController *controller)
{
    if (controller == m_controller)
        return;
    if (m_controller)
        disconnect(m_controller, nullptr, this, nullptr);
    m_controller = controller;
    if (controller) {
        connect(controller, &OverlayController::displayMeasurementsChanged, this,
                [this](const QString &displayId) {
                    if (displayId == m_displayId)
                        rebuild();
                });
        connect(controller, &OverlayController::selectedIdChanged, this,
                &CaliperScene::selectionChanged);
    }
    emit controllerChanged();
    rebuild();
}

void CaliperScene::setDisplayId(const QString &displayId)
{
    if (displayId == m_displayId)
        return;
    m_displayId = displayId;
    emit displayIdChanged();
    rebuild();
}

void CaliperScene::setQtcMode(const QString &mode)
{
    if (mode == m_qtcMode)
        return;
    m_qtcMode = mode;
    emit qtcModeChanged();
    correctionChanged();
}

void CaliperScene::setQtcValue(const QString &value)
{
    if (value == m_qtcValue)
        return;
    m_qtcValue = value;
    emit qtcValueChanged();
    correctionChanged();
}

void CaliperScene::setQtcFormula(const QString &formula)
{
    if (formula == m_qtcFormula)
        return;
    m_qtcFormula = formula;
    emit qtcFormulaChanged();
    correctionChanged();
}

void CaliperScene::setCapturesPointer(bool captures)
{
    if (captures == m_capturesPointer)
        return;
    m_capturesPointer = captures;
    emit capturesPointerChanged();
    pushRegions();
}

OverlayController::CorrectionInput CaliperScene::correction() const
{
    // The palette reads the same text the same way, and marks what it refuses.
    return {zrn::readCorrectionInput(m_qtcValue, m_qtcMode).value, m_qtcMode, m_qtcFormula};
}

QSizeF CaliperScene::displaySize() const
{
    return size();
}

double CaliperScene::ratio() const
{
    const QQuickWindow *w = window();
    const double r = w ? w->effectiveDevicePixelRatio() : 1.0;
    return std::isfinite(r) && r > 0 ? r : 1.0;
}

NativeOverlayWindow *CaliperScene::overlayWindow() const
{
    return qobject_cast<NativeOverlayWindow *>(window());
}

CaliperScene::Shown *CaliperScene::find(quint64 id)
{
    const std::optional<std::size_t> index = indexOf(id);
    return index ? &m_shown[*index] : nullptr;
}

std::optional<std::size_t> CaliperScene::indexOf(quint64 id) const
{
    for (std::size_t i = 0; i < m_shown.size(); ++i) {
        if (m_shown[i].row.id == id)
            return i;
    }
    return std::nullopt;
}

QList<QRectF> CaliperScene::boxesExcept(std::size_t except) const
{
    QList<QRectF> boxes;
    for (std::size_t i = 0; i < m_shown.size(); ++i) {
        if (i != except)
            boxes.append(m_shown[i].box);
    }
    return boxes;
}

// United pairwise, so that no union grows one piece at a time.
QRegion CaliperScene::united(std::vector<QRegion> parts)
{
    while (parts.size() > 1) {
        std::size_t kept = 0;
        for (std::size_t i = 0; i < parts.size(); i += 2)
            parts[kept++] = i + 1 < parts.size() ? parts[i].united(parts[i + 1]) : parts[i];
        parts.resize(kept);
    }
    return parts.empty() ? QRegion() : parts.front();
}

void CaliperScene::rebuild()
{
    const int before = count();
    std::vector<Shown> next;
    const QList<MeasurementRow> rows
        = m_controller ? m_controller->rowsForDisplay(m_displayId) : QList<MeasurementRow>();
    const quint64 selectedId = m_controller ? m_controller->selectedId() : 0;
    if (m_drag && std::none_of(rows.begin(), rows.end(), [this](const MeasurementRow &r) {
            return r.id == m_drag->id;
        })) {
        // The dragged caliper went meanwhile: the drag ends with it.
        m_drag.reset();
        emit dragChanged();
    }

    QList<QRectF> placed;
    for (const MeasurementRow &row : rows) {
        // Without a finite geometry there is nothing to draw or hit.
        if (!isFinite(row))
            continue;
        Shown shown;
        shown.row = row;
        shown.line = m_drag && m_drag->id == row.id ? m_drag->preview
                                                    : zrn::CaliperLine{row.startX, row.endX, row.y};
        shown.selected = row.id == selectedId;
        shown.hovered = row.id == m_hoverId ? m_hoverPart : Part::None;
        refresh(shown, &placed);
        placed.append(shown.box);
        const Shown *old = find(row.id);
        shown.version = old && old->row.color == row.color && old->shape.lines == shown.shape.lines
                                && sameSprites(old->sprites, shown.sprites)
                            ? old->version
                            : m_nextVersion++;
        next.push_back(std::move(shown));
    }
    m_shown = std::move(next);
    if (m_hoverId != 0 && !find(m_hoverId))
        setHover(0, Part::None);

    pushRegions();
    pushDrawnShape();
    update();
    if (count() != before)
        emit calipersChanged();
}

void CaliperScene::refresh(Shown &shown, const QList<QRectF> *taken)
{
    const QSizeF display = displaySize();
    const double r = ratio();
    if (taken) {
        shown.label = m_controller ? m_controller->labelText(
                          shown.row, std::fabs(shown.line.endX - shown.line.startX), correction())
                                   : QString();
        shown.box = scene::placeLabel(scene::labelSize(shown.label), shown.line, display, *taken);
    }
    shown.shape = scene::caliperShape(shown.row.kind, shown.line, display, r, shown.selected,
                                      shown.hovered);
    const QColor colour(shown.row.color);
    shown.sprites.clear();
    shown.solid.clear();
    qsizetype next = 0;
    for (const auto &[begin, end] : shown.shape.dashed) {
        shown.solid.append(shown.shape.lines.mid(next, begin - next));
        shown.sprites.push_back(
            m_sprites->dashes(shown.shape.lines.mid(begin, end - begin), colour));
        next = end;
    }
    shown.solid.append(shown.shape.lines.mid(next));
    for (const scene::Square &handle : shown.shape.handles)
        shown.sprites.push_back(m_sprites->handle(handle, colour, r));
    if (shown.shape.ring)
        shown.sprites.push_back(m_sprites->ring(*shown.shape.ring, r));
    shown.sprites.push_back(m_sprites->label(shown.label, shown.box, r));
    // Only a window that shows its drawn shape needs it (a drag move pays for it).
    const NativeOverlayWindow *w = overlayWindow();
    if (!w || !w->usesDrawnShape()) {
        shown.drawn = QRegion();
        return;
    }
    std::vector<QRegion> covered(shown.solid.cbegin(), shown.solid.cend());
    for (const scene::Sprite &sprite : shown.sprites)
        covered.insert(covered.end(), sprite.covered.cbegin(), sprite.covered.cend());
    shown.drawn = united(std::move(covered));
}

void CaliperScene::changed(Shown &shown)
{
    shown.version = m_nextVersion++;
    pushDrawnShape();
    update();
}

void CaliperScene::pushRegions()
{
    NativeOverlayWindow *w = overlayWindow();
    if (!w)
        return;
    const QSizeF display = displaySize();
    const QRect whole(0, 0, int(std::ceil(display.width())), int(std::ceil(display.height())));
    QList<QRect> visual;
    QList<QRect> interactive;
    for (const Shown &shown : m_shown) {
        // From the stored geometry: a drag shows its preview anywhere meanwhile.
        const zrn::CaliperLine stored{shown.row.startX, shown.row.endX, shown.row.y};
        scene::appendRegions(visual, interactive, shown.row.kind, stored, display);
        visual.append(scene::labelRegion(shown.box));
    }
    QRegion visualRegion;
    QRegion interactiveRegion;
    if (m_drag) {
        visualRegion = whole;
    } else {
        for (const QRect &r : std::as_const(visual))
            visualRegion += r;
    }
    if (m_capturesPointer) {
        interactiveRegion = whole;
    } else {
        for (const QRect &r : std::as_const(interactive))
            interactiveRegion += r;
    }
    w->setRegions(visualRegion, interactiveRegion);
}

void CaliperScene::pushDrawnShape()
{
    NativeOverlayWindow *w = overlayWindow();
    if (!w || !w->usesDrawnShape())
        return;
    const std::optional<std::size_t> dragged = m_drag ? indexOf(m_drag->id) : std::nullopt;
    if (!dragged) {
        std::vector<QRegion> all;
        for (const Shown &shown : m_shown)
            all.push_back(shown.drawn);
        w->setDrawnShape(united(std::move(all)));
        m_stillDrawn = QRegion();
        m_stillVersions.clear();
        return;
    }
    // The still calipers' shape is tens of thousands of rectangles at 4K (a
    // dashed line cuts every other line into hundreds of bands): it is united
    // once per drag, and a move hands the dragged caliper beside it.
    std::vector<quint64> versions;
    versions.reserve(m_shown.size());
    for (std::size_t i = 0; i < m_shown.size(); ++i)
        versions.push_back(i == *dragged ? 0 : m_shown[i].version);
    if (versions != m_stillVersions) {
        std::vector<QRegion> still;
        for (std::size_t i = 0; i < m_shown.size(); ++i) {
            if (i != *dragged)
                still.push_back(m_shown[i].drawn);
        }
        m_stillDrawn = united(std::move(still));
        m_stillVersions = std::move(versions);
    }
    w->setDrawnShape(m_stillDrawn, m_shown[*dragged].drawn);
}

void CaliperScene::selectionChanged()
{
    // Selection waits for the end of a drag, which shows it.
    if (m_drag)
        return;
    const quint64 selectedId = m_controller ? m_controller->selectedId() : 0;
    for (Shown &shown : m_shown) {
        const bool selected = shown.row.id == selectedId;
        if (shown.selected == selected)
            continue;
        shown.selected = selected;
        refresh(shown, nullptr);
        changed(shown);
    }
}

void CaliperScene::correctionChanged()
{
    // Only QT/QTc labels read the correction.
    if (std::none_of(m_shown.begin(), m_shown.end(),
                     [](const Shown &shown) { return shown.row.kind == zrn::CaliperKind::Qtc; }))
        return;
    if (!m_drag) {
        // A QT label may change size, and with it its region and its neighbours.
        rebuild();
        return;
    }
    for (std::size_t i = 0; i < m_shown.size(); ++i) {
        Shown &shown = m_shown[i];
        if (shown.row.kind != zrn::CaliperKind::Qtc)
            continue;
        const QList<QRectF> others = boxesExcept(i);
        refresh(shown, &others);
        changed(shown);
    }
}

CaliperScene::Part CaliperScene::partAt(qreal x, qreal y) const
{
    const QPointF point(x, y);
    for (auto it = m_shown.rbegin(); it != m_shown.rend(); ++it) {
        const zrn::CaliperLine stored{it->row.startX, it->row.endX, it->row.y};
        const Part part = scene::hitPart(it->row.kind, stored, point, displaySize().height());
        if (part != Part::None)
            return part;
    }
    return Part::None;
}

quint64 CaliperScene::caliperAt(qreal x, qreal y) const
{
    const QPointF point(x, y);
    // The caliper drawn last is on top.
    for (auto it = m_shown.rbegin(); it != m_shown.rend(); ++it) {
        const zrn::CaliperLine stored{it->row.startX, it->row.endX, it->row.y};
        if (scene::hitPart(it->row.kind, stored, point, displaySize().height()) != Part::None)
            return it->row.id;
    }
    return 0;
}

QRectF CaliperScene::labelBox(quint64 id) const
{
    const std::optional<std::size_t> index = indexOf(id);
    return index ? m_shown[*index].box : QRectF();
}

QString CaliperScene::labelText(quint64 id) const
{
    const std::optional<std::size_t> index = indexOf(id);
    return index ? m_shown[*index].label : QString();
}

void CaliperScene::updateHover(QPointF position)
{
    const quint64 id = caliperAt(position.x(), position.y());
    setHover(id, id != 0 ? partAt(position.x(), position.y()) : Part::None);
}

void CaliperScene::setHover(quint64 id, Part part)
{
    if (id == m_hoverId && part == m_hoverPart)
        return;
    const quint64 previous = m_hoverId;
    m_hoverId = id;
    m_hoverPart = part;
    for (const quint64 touched : {previous, id}) {
        if (Shown *shown = touched != 0 ? find(touched) : nullptr) {
            shown->hovered = shown->row.id == id ? part : Part::None;
            refresh(*shown, nullptr);
            changed(*shown);
        }
    }
    emit hoverChanged();
    updateCursor();
}

void CaliperScene::updateCursor()
{
    Qt::CursorShape shape = Qt::ArrowCursor;
    if (m_drag && m_drag->part == Part::Move)
        shape = Qt::ClosedHandCursor;
    else if (m_hoverPart == Part::Left || m_hoverPart == Part::Right)
        shape = Qt::SizeHorCursor;
    else if (m_hoverPart == Part::Move)
        shape = Qt::OpenHandCursor;
    if (shape == m_cursorShape)
        return;
    m_cursorShape = shape;
    setCursor(shape);
    emit cursorShapeChanged();
}

void CaliperScene::mousePressEvent(QMouseEvent *event)
{
    if (m_capturesPointer) {
        // A press anywhere on the display closes the panel's list and does nothing else.
        emit capturedPress();
        return;
    }
    const QPointF position = event->position();
    const quint64 id = caliperAt(position.x(), position.y());
    if (id == 0 || !m_controller) {
        // Left to whatever lies beneath.
        event->ignore();
        return;
    }
    const Part part = partAt(position.x(), position.y());
    m_controller->setSelectedId(id);
    // "RR from caliper" waits for this press.
    if (event->button() == Qt::LeftButton && m_controller->rrSource()->picking())
        m_controller->linkRrSource(id);
    emit caliperPressed();
    if (event->button() == Qt::RightButton) {
        m_controller->removeSelected();
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    const Shown *shown = find(id);
    if (!shown)
        return;
    const zrn::CaliperLine stored{shown->row.startX, shown->row.endX, shown->row.y};
    m_drag = Drag{id, part, position, stored, stored};
    emit dragChanged();
    updateCursor();
    pushRegions();
}

void CaliperScene::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_drag || !(event->buttons() & Qt::LeftButton))
        return;
    const std::optional<std::size_t> index = indexOf(m_drag->id);
    if (!index)
        return;
    m_drag->preview = scene::dragged(m_drag->part, m_drag->initial,
                                     event->position() - m_drag->press, displaySize());
    // An RR taken from this caliper follows the drag, and the QT labels with it.
    if (m_controller)
        m_controller->setDragPreview(m_drag->id,
                                     std::fabs(m_drag->preview.endX - m_drag->preview.startX));
    Shown &shown = m_shown[*index];
    shown.line = m_drag->preview;
    // Only the dragged label moves; the others keep their places.
    const QList<QRectF> others = boxesExcept(*index);
    refresh(shown, &others);
    changed(shown);
}

void CaliperScene::mouseReleaseEvent(QMouseEvent *)
{
    if (!m_drag)
        return;
    const Drag drag = *m_drag;
    m_drag.reset();
    emit dragChanged();
    updateCursor();
    // The controller's change rebuilds this scene; a refused geometry shows the
    // stored one again.
    if (!m_controller) {
        rebuild();
        return;
    }
    if (!m_controller->updateMeasurementGeometry(drag.id, drag.preview.startX, drag.preview.endX,
                                                 drag.preview.y)) {
        m_controller->clearDragPreview();
        rebuild();
    }
}

void CaliperScene::mouseUngrabEvent()
{
    // The grab was taken away: the preview goes, nothing is sent.
    if (!m_drag)
        return;
    m_drag.reset();
    emit dragChanged();
    updateCursor();
    if (m_controller)
        m_controller->clearDragPreview();
    rebuild();
}

void CaliperScene::hoverEnterEvent(QHoverEvent *event)
{
    if (!m_drag)
        updateHover(event->position());
}

void CaliperScene::hoverMoveEvent(QHoverEvent *event)
{
    if (!m_drag)
        updateHover(event->position());
}

void CaliperScene::hoverLeaveEvent(QHoverEvent *)
{
    // While a button is held the hover stays as it was.
    if (!m_drag)
        setHover(0, Part::None);
}

void CaliperScene::geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry)
{
    QQuickItem::geometryChange(newGeometry, oldGeometry);
    if (newGeometry.size() != oldGeometry.size())
        rebuild();
}

void CaliperScene::itemChange(ItemChange change, const ItemChangeData &value)
{
    QQuickItem::itemChange(change, value);
    if (change == ItemSceneChange) {
        disconnect(m_windowConnection);
        if (auto *w = qobject_cast<NativeOverlayWindow *>(value.window)) {
            // A shape was applied: drawings kept for it may go now.
            m_windowConnection = connect(w, &NativeOverlayWindow::drawnShapeApplied, this, [this] {
                if (m_retiredDrawings)
                    update();
            });
        }
        rebuild();
    } else if (change == ItemDevicePixelRatioHasChanged) {
        m_sprites->clear();
        rebuild();
    }
}

QSGNode *CaliperScene::updatePaintNode(QSGNode *oldNode, UpdatePaintNodeData *)
{
    auto *root = static_cast<scene::SceneRootNode *>(oldNode);
    if (!root)
        root = new scene::SceneRootNode(window());
    std::vector<scene::Drawing> drawings;
    drawings.reserve(m_shown.size());
    for (const Shown &shown : m_shown)
        drawings.push_back(
            {shown.row.id, shown.version, QColor(shown.row.color), &shown.solid, &shown.sprites});
    const NativeOverlayWindow *w = overlayWindow();
    root->sync(drawings, ratio(), w && w->showsDrawnShapeOnly(), w ? w->frameShapeGeneration() : 0,
               w ? w->appliedShapeGeneration() : 0);
    m_retiredDrawings = root->hasRetired();
    return root;
}

void CaliperScene::releaseResources()
{
    m_retiredDrawings = false;
}
