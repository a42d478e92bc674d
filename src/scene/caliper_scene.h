#pragma once

// The caliper scene of one overlay: the calipers of its display, drawn through
// the scene graph, with their labels, the hover ring and the drag preview. It
// hit-tests the pointer, drags and removes calipers through the controller,
// and hands its overlay window the regions it paints and takes the mouse in.
// A change reaches it once, and only a change on its own display rebuilds it;
// a drag move redraws only the dragged caliper.

#include "caliper_geometry.h"
#include "caliper_sprites.h"
#include "measurement_row.h"
#include "overlay_controller.h"

#include <QPointer>
#include <QQuickItem>
#include <QRectF>
#include <QRegion>
#include <memory>
#include <optional>
#include <vector>

class NativeOverlayWindow;

class CaliperScene : public QQuickItem
{
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(
        OverlayController *controller READ controller WRITE setController NOTIFY controllerChanged)
    Q_PROPERTY(QString displayId READ displayId WRITE setDisplayId NOTIFY displayIdChanged)
    Q_PROPERTY(QString qtcMode READ qtcMode WRITE setQtcMode NOTIFY qtcModeChanged)
    Q_PROPERTY(QString qtcValue READ qtcValue WRITE setQtcValue NOTIFY qtcValueChanged)
    // The QTc formula of the labels: "Bazett" (the default), "Fridericia",
    // "Framingham" or "Hodges".
    Q_PROPERTY(QString qtcFormula READ qtcFormula WRITE setQtcFormula NOTIFY qtcFormulaChanged)
    Q_PROPERTY(bool capturesPointer READ capturesPointer WRITE setCapturesPointer NOTIFY
                   capturesPointerChanged)
    Q_PROPERTY(zrn::scene::Part hoveredPart READ hoveredPart NOTIFY hoverChanged)
    Q_PROPERTY(quint64 hoveredId READ hoveredId NOTIFY hoverChanged)
    Q_PROPERTY(zrn::scene::Part dragPart READ dragPart NOTIFY dragChanged)
    Q_PROPERTY(Qt::CursorShape cursorShape READ cursorShape NOTIFY cursorShapeChanged)
    Q_PROPERTY(int count READ count NOTIFY calipersChanged)
    Q_PROPERTY(int rhythmMarkerCount READ rhythmMarkerCount CONSTANT)

public:
    using Part = zrn::scene::Part;

    // One caliper as shown now: the stored geometry, or the preview of a drag.
    struct Shown
    {
        MeasurementRow row;
        zrn::CaliperLine line;
        bool selected = false;
        Part hovered = Part::None;
        QString label;
        QRectF box;
        zrn::scene::CaliperShape shape;
        QList<QRect> solid; // the lines drawn as rectangles; dashed ones are sprites
        std::vector<zrn::scene::Sprite> sprites; // dashed lines, handles, ring, label
        QRegion drawn;                           // the pixels all of these cover, in the window
        quint64 version = 0;                     // changes whenever the drawing does
    };

    explicit CaliperScene(QQuickItem *parent = nullptr);
    ~CaliperScene() override;

    OverlayController *controller() const { return m_controller; }
    void setController(OverlayController *controller);
    QString displayId() const { return m_displayId; }
    void setDisplayId(const QString &displayId);
    QString qtcMode() const { return m_qtcMode; }
    void setQtcMode(const QString &mode);
    QString qtcValue() const { return m_qtcValue; }
    void setQtcValue(const QString &value);
    QString qtcFormula() const { return m_qtcFormula; }
    void setQtcFormula(const QString &formula);
    bool capturesPointer() const { return m_capturesPointer; }
    void setCapturesPointer(bool captures);

    Part hoveredPart() const { return m_hoverPart; }
    quint64 hoveredId() const { return m_hoverId; }
    Part dragPart() const { return m_drag ? m_drag->part : Part::None; }
    Qt::CursorShape cursorShape() const { return m_cursorShape; }
    int count() const { return int(m_shown.size()); }
    static int rhythmMarkerCount() { return zrn::scene::look::rhythmMarkerCount; }

    // The calipers as shown, in row order (the last one on top).
    const std::vector<Shown> &shown() const { return m_shown; }
    // The label box of a caliper as drawn now, in logical pixels; empty for an
    // id this display does not show.
    Q_INVOKABLE QRectF labelBox(quint64 id) const;
    // Its text, as drawn now.
    Q_INVOKABLE QString labelText(quint64 id) const;
    // The part of the topmost caliper at a point of the scene, and its id.
    Q_INVOKABLE zrn::scene::Part partAt(qreal x, qreal y) const;
    Q_INVOKABLE quint64 caliperAt(qreal x, qreal y) const;

signals:
    void controllerChanged();
    void displayIdChanged();
    void qtcModeChanged();
    void qtcValueChanged();
    void qtcFormulaChanged();
    void capturesPointerChanged();
    void hoverChanged();
    void dragChanged();
    void cursorShapeChanged();
    void calipersChanged();
    // A caliper was pressed: the control panel takes the keyboard for it.
    void caliperPressed();
    // The pointer was taken while capturing it: a press anywhere on the display.
    void capturedPress();

protected:
    QSGNode *updatePaintNode(QSGNode *oldNode, UpdatePaintNodeData *) override;
    void geometryChange(const QRectF &newGeometry, const QRectF &oldGeometry) override;
    void itemChange(ItemChange change, const ItemChangeData &value) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseUngrabEvent() override;
    void hoverEnterEvent(QHoverEvent *event) override;
    void hoverMoveEvent(QHoverEvent *event) override;
    void hoverLeaveEvent(QHoverEvent *event) override;
    void releaseResources() override;

private:
    struct Drag
    {
        quint64 id = 0;
        Part part = Part::None;
        QPointF press;
        zrn::CaliperLine initial;
        zrn::CaliperLine preview;
    };
    struct Sprites;

    // Fetches this display's rows and shows them anew.
    void rebuild();
    // Works out what a caliper shows for its current line, selection and hover:
    // with `taken`, its label too, placed clear of those boxes; without, the
    // label stays as it is.
    void refresh(Shown &shown, const QList<QRectF> *taken);
    // A caliper's drawing changed: it is drawn anew, and only it.
    void changed(Shown &shown);
    OverlayController::CorrectionInput correction() const;
    // The label boxes of all calipers but the one at `except`.
    QList<QRectF> boxesExcept(std::size_t except) const;
    // Regions from the stored geometry, to the window; the drawn shape too.
    void pushRegions();
    void pushDrawnShape();
    static QRegion united(std::vector<QRegion> parts);
    void selectionChanged();
    void correctionChanged();
    void updateHover(QPointF position);
    void setHover(quint64 id, Part part);
    void updateCursor();
    Shown *find(quint64 id);
    std::optional<std::size_t> indexOf(quint64 id) const;
    QSizeF displaySize() const;
    double ratio() const;
    NativeOverlayWindow *overlayWindow() const;

    QPointer<OverlayController> m_controller;
    QString m_displayId;
    QString m_qtcMode;
    QString m_qtcValue;
    QString m_qtcFormula = QStringLiteral("Bazett");
    bool m_capturesPointer = false;

    std::unique_ptr<Sprites> m_sprites;
    std::vector<Shown> m_shown;
    quint64 m_nextVersion = 1;
    quint64 m_hoverId = 0;
    Part m_hoverPart = Part::None;
    std::optional<Drag> m_drag;
    // The drawn shape of the calipers a drag leaves still, and the drawings it
    // was united from: worked out once rather than at every move.
    QRegion m_stillDrawn;
    std::vector<quint64> m_stillVersions;
    Qt::CursorShape m_cursorShape = Qt::ArrowCursor;
    // Set during the synchronisation of a frame: drawings that went away are
    // still in it, waiting for the window's shape to leave them.
    bool m_retiredDrawings = false;
    QMetaObject::Connection m_windowConnection;
};
