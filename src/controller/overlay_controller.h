#pragma once

// The one object through which the user interface reads and changes calipers.
// It owns the measurement core, keeps the on-screen geometry of every caliper
// beside it, holds the selection, replaces Reference and QT/QTc calipers of the
// same kind, and turns measurements into the rows and texts the overlays show.

#include "measurement_model.h"
#include "measurement_row.h"
#include "rr_source_link.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>
#include <optional>

class OverlayController : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QVariantList measurements READ measurements NOTIFY measurementsChanged)
    Q_PROPERTY(QVariantList referenceChoices READ referenceChoices NOTIFY measurementsChanged)
    Q_PROPERTY(bool hasQtMeasurement READ hasQtMeasurement NOTIFY measurementsChanged)
    Q_PROPERTY(bool qtNeedsReference READ qtNeedsReference NOTIFY measurementsChanged)
    // The QT/QTc caliper, 0 when there is none. It changes when that caliper
    // goes, however it goes, and when a new one replaces it; the rate or RR
    // typed for it goes with it.
    Q_PROPERTY(quint64 qtMeasurementId READ qtMeasurementId NOTIFY qtMeasurementIdChanged)
    Q_PROPERTY(quint64 selectedId READ selectedId WRITE setSelectedId NOTIFY selectedIdChanged)
    Q_PROPERTY(bool editMode MEMBER m_editMode WRITE setEditMode NOTIFY editModeChanged)
    // The RR of the QT correction taken from a Standard caliper.
    Q_PROPERTY(RrSourceLink *rrSource READ rrSource CONSTANT)

public:
    // Where a caliper sits on its display's overlay, in that overlay's logical pixels.
    struct VisualCaliper
    {
        quint64 id = 0;
        QString displayId;
        double startX = 0.0;
        double endX = 0.0; // may be left of startX: a reversed caliper
        double y = 0.0;
        QString color;
        // A Standard caliper laid over several intervals shows their mean.
        int intervalCount = 1;
    };

    // The interval counts a Standard caliper may have.
    static constexpr int kMinIntervalCount = 1;
    static constexpr int kMaxIntervalCount = 20;

    explicit OverlayController(QObject *parent = nullptr);
    ~OverlayController() override;

    [[nodiscard]] QVariantList measurements() const;
    [[nodiscard]] QVariantList referenceChoices() const;
    [[nodiscard]] bool hasQtMeasurement() const;
    [[nodiscard]] bool qtNeedsReference() const;
    [[nodiscard]] quint64 selectedId() const { return m_selectedId; }

    // The rows of one display, as measurementsForDisplay gives them to QML.
    [[nodiscard]] QList<MeasurementRow> rowsForDisplay(const QString &displayId) const;

    // The correction typed for QT/QTc calipers, as read: a rate in beats per
    // minute when mode is "rate", else an RR interval in milliseconds; no value
    // when nothing usable was typed. The formula is one of qtcFormulas().
    struct CorrectionInput
    {
        std::optional<double> value;
        QString mode;
        QString formula = QStringLiteral("Bazett");
    };
    // The label of a caliper with the row's kind and reference, drawn
    // widthPx logical pixels wide (which may differ from the row's width while
    // it is dragged). The overlays and the rows share this one text.
    [[nodiscard]] QString labelText(const MeasurementRow &row, double widthPx,
                                    const CorrectionInput &correction) const;
    [[nodiscard]] quint64 qtMeasurementId() const { return m_qtMeasurementId; }
    [[nodiscard]] RrSourceLink *rrSource() { return &m_rrSource; }
    [[nodiscard]] const RrSourceLink *rrSource() const { return &m_rrSource; }

    // A caliper is being dragged to this width (logical pixels) and not yet
    // stored: an RR taken from it follows. Ends with the stored geometry, or
    // with clearDragPreview when the drag ends without one.
    void setDragPreview(quint64 id, double widthPx);
    void clearDragPreview();

    [[nodiscard]] static zrn::CaliperKind kindFromString(const QString &text);
    [[nodiscard]] static QString kindLabel(zrn::CaliperKind kind);
    [[nodiscard]] static QString errorLabel(zrn::MeasurementError error);
    // "Bazett", "Fridericia", "Framingham", "Hodges": the formula texts, exactly.
    [[nodiscard]] static std::optional<zrn::QtcFormula> formulaFromString(const QString &text);

signals:
    void measurementsChanged();
    void selectedIdChanged();
    void editModeChanged();
    void transientMessage(const QString &message);
    // After measurementsChanged, once for each display whose rows changed: an
    // overlay rebuilds only when its own display was touched.
    void displayMeasurementsChanged(const QString &displayId);
    void qtMeasurementIdChanged();

public slots:
    void setSelectedId(quint64 id);
    void setEditMode(bool editMode);
    void handleDisplayInvalidated(const QString &stableDisplayId);

public:
    Q_INVOKABLE quint64 addMeasurement(const QString &kind, const QString &displayId,
                                       double logicalDpi, double devicePixelRatio, double startX,
                                       double endX, double y, const QString &color,
                                       double referenceDurationMs);
    Q_INVOKABLE QVariantList measurementsForDisplay(const QString &displayId) const;
    Q_INVOKABLE bool updateMeasurementGeometry(quint64 id, double startX, double endX, double y);
    Q_INVOKABLE void nudgeSelected(double logicalPixels);
    // Brings every caliper of a display back inside its (new) logical size,
    // keeping each caliper's width where it fits and squeezing it to the
    // display's width where it does not.
    Q_INVOKABLE void keepInsideDisplay(const QString &displayId, double width, double height);
    Q_INVOKABLE void removeSelected();
    Q_INVOKABLE void clear();
    Q_INVOKABLE void setActiveReference(quint64 id, double durationMs);
    Q_INVOKABLE void setReferenceDuration(double durationMs);
    Q_INVOKABLE double calculateBazettQtc(double qtMs, double rateOrRrValue,
                                          const QString &mode) const;
    // The QT corrected by a formula (formulaFromString), reading rateOrRrValue
    // as calculateBazettQtc does; 0 for any other formula text and where there
    // is no result.
    Q_INVOKABLE double calculateQtc(double qtMs, double rateOrRrValue, const QString &mode,
                                    const QString &formula) const;
    // The number of intervals a Standard caliper is laid over; refused with a
    // message for other kinds and outside kMinIntervalCount..kMaxIntervalCount.
    Q_INVOKABLE bool setIntervalCount(quint64 id, int count);
    // "RR from caliper": waiting for a press on a caliper, or not.
    Q_INVOKABLE void setRrPicking(bool picking);
    // Takes the RR from a Standard caliper calibrated on its display; refused
    // with a message, leaving everything as it was, otherwise.
    Q_INVOKABLE bool linkRrSource(quint64 id);
    // The user takes the RR back into their own hands: the link ends quietly.
    Q_INVOKABLE void endRrLink();

private:
    friend class TestOverlayController;

    // What identifies the calibration; a change of any of it touches the
    // displays of the old and the new reference.
    struct ReferenceState
    {
        quint64 caliperId = 0;
        double widthPx = 0.0;
        double durationMs = 0.0;
        QString displayId;
        bool operator==(const ReferenceState &) const = default;
    };

    [[nodiscard]] QVariantMap rowFor(const zrn::Caliper &caliper) const;
    [[nodiscard]] MeasurementRow rowOf(const zrn::Caliper &caliper) const;
    [[nodiscard]] static QVariantMap toMap(const MeasurementRow &row);
    [[nodiscard]] static QString summaryText(const MeasurementRow &row,
                                             const zrn::MeasurementResult &result);
    [[nodiscard]] ReferenceState referenceState() const;
    // Emits measurementsChanged, then displayMeasurementsChanged for each display
    // touched: those given, and those of the reference before and after when the
    // calibration changed.
    void announce(QStringList touched, const ReferenceState &before);
    // Removes a caliper from the model together with its geometry; the display
    // it was on, or nothing when no caliper has the id.
    std::optional<QString> removeWithGeometry(quint64 id);
    // Clears the selection when it names the caliper.
    void deselect(quint64 id);
    // Removes every caliper of a kind that may exist only once (Reference,
    // QT/QTc); the displays they were on.
    QStringList replaceSameKind(zrn::CaliperKind kind);
    // Makes the caliper the reference for the duration, or reports why not.
    void replaceReference(quint64 id, double durationMs);
    // Follows the model after every completed change.
    void updateQtMeasurementId();
    // The RR source as the calipers are now: its interval, or, where its
    // caliper went or can no longer be measured, the end of the link with
    // the message why (`reason` where given).
    void refreshRrSource(const QString &reason = QString());
    // Ends the link; says why when `message` is not empty.
    void unlinkRrSource(const QString &message);
    // The interval of a caliper in ms at a width (its mean over its intervals),
    // when it is a Standard caliper calibrated on its display.
    [[nodiscard]] std::optional<double> rrIntervalMs(quint64 id, double widthPx) const;

    zrn::MeasurementModel m_model;
    QHash<quint64, VisualCaliper> m_visuals;
    quint64 m_selectedId = 0;
    bool m_editMode = false;
    quint64 m_qtMeasurementId = 0;
    RrSourceLink m_rrSource;
    struct DragPreview
    {
        quint64 id = 0;
        double widthPx = 0.0;
    };
    std::optional<DragPreview> m_dragPreview;
};
