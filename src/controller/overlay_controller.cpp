#include "overlay_controller.h"

#include "caliper_placement.h"

#include <QVariant>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace {

// Every text the user can see from this class. Non-ASCII characters are
// written as escapes so that the meaning never depends on a source encoding.
const QString kTooNarrowMessage = QStringLiteral("Calipers must be wider than 10 logical pixels.");
const QString kWidthMustRemainMessage
    = QStringLiteral("Width must remain greater than 10 logical pixels.");
const QString kSelectBeforeNudgingMessage = QStringLiteral("Select a measurement before nudging.");
const QString kDisplayInvalidatedMessage
    = QStringLiteral("Display topology or DPI changed. Draw a new reference on that display.");
const QString kMeasurementUnavailable = QStringLiteral("Measurement unavailable");
// Said whenever the active reference comes to stand for another duration:
// every calibrated value on screen changes with it.
const QString kReferenceDurationMessage = QStringLiteral("Reference: %1 ms");
const QString kInactiveReference = QStringLiteral("Inactive reference drawing");
// "QT/QTc", then "– add Ref" and "– add RR" with an en dash.
const QString kQtcOverlayLabel = QStringLiteral("QT/QTc\n\u2013 add Ref\n\u2013 add RR");
const QString kQtcNeedsReferenceLabel = QStringLiteral("QT/QTc\n\u2013 add Ref");
const QString kIntervalCountRangeMessage = QStringLiteral("Interval count must be from 1 to 20.");
const QString kIntervalCountKindMessage
    = QStringLiteral("Only a Standard caliper measures the mean of several intervals.");
const QString kRrPickMessage = QStringLiteral("Press a Standard caliper to take the RR from it.");
const QString kRrNeedsReferenceMessage
    = QStringLiteral("Draw a reference on that caliper's display to take the RR from it.");
const QString kRrRemovedMessage
    = QStringLiteral("RR from caliper ended: its caliper was removed. Enter the RR again.");
const QString kRrLostReferenceMessage = QStringLiteral(
    "RR from caliper ended: its caliper has no reference on its display. Enter the RR again.");
const QString kRrDisplayMessage = QStringLiteral(
    "RR from caliper ended: its caliper's display changed or was removed. Enter the RR again.");

// The formulas by their texts, with the name each QTc line gives them.
struct FormulaName
{
    QLatin1String text;
    zrn::QtcFormula formula;
    QLatin1String label;
};
constexpr FormulaName kFormulas[] = {
    {QLatin1String("Bazett"), zrn::QtcFormula::Bazett, QLatin1String("QTc")},
    {QLatin1String("Fridericia"), zrn::QtcFormula::Fridericia, QLatin1String("QTcF")},
    {QLatin1String("Framingham"), zrn::QtcFormula::Framingham, QLatin1String("QTcFra")},
    {QLatin1String("Hodges"), zrn::QtcFormula::Hodges, QLatin1String("QTcH")},
};

// The name of the QTc line: "QTc" for Bazett, as for a text that names no formula.
QString qtcName(const QString &formula)
{
    for (const FormulaName &f : kFormulas) {
        if (formula == f.text)
            return f.label;
    }
    return QStringLiteral("QTc");
}

// Numbers shown to the user never go through a locale: QString::arg for
// doubles always writes "." and no grouping.

// Rounded half away from zero, then at most 6 significant digits.
QString wholeText(double value)
{
    return QStringLiteral("%1").arg(std::round(value));
}

QString twoDecimalsText(double value)
{
    return QStringLiteral("%1").arg(value, 0, 'f', 2);
}

QString oneDecimalText(double value)
{
    return QStringLiteral("%1").arg(value, 0, 'f', 1);
}

QString durationText(double durationMs)
{
    return QStringLiteral("%1").arg(durationMs, 0, 'g', 15);
}

QString pixelText(double widthPx)
{
    return QStringLiteral("%1 px").arg(wholeText(widthPx));
}

} // namespace

OverlayController::OverlayController(QObject *parent) : QObject(parent)
{
    // Connected first, so the QT/QTc caliper's id is current before anyone
    // else hears of the change: every path that changes calipers ends here.
    connect(this, &OverlayController::measurementsChanged, this,
            &OverlayController::updateQtMeasurementId);
}

OverlayController::~OverlayController() = default;

zrn::CaliperKind OverlayController::kindFromString(const QString &text)
{
    if (text == QLatin1String("rhythm"))
        return zrn::CaliperKind::Rhythm;
    if (text == QLatin1String("reference"))
        return zrn::CaliperKind::Reference;
    if (text == QLatin1String("qtc"))
        return zrn::CaliperKind::Qtc;
    return zrn::CaliperKind::Standard;
}

QString OverlayController::kindLabel(zrn::CaliperKind kind)
{
    switch (kind) {
    case zrn::CaliperKind::Standard:
        return QStringLiteral("Standard");
    case zrn::CaliperKind::Rhythm:
        return QStringLiteral("Rhythm");
    case zrn::CaliperKind::Reference:
        return QStringLiteral("Reference");
    case zrn::CaliperKind::Qtc:
        return QStringLiteral("QT/QTc");
    }
    return QString();
}

QString OverlayController::errorLabel(zrn::MeasurementError error)
{
    switch (error) {
    case zrn::MeasurementError::NoError:
        return QString();
    case zrn::MeasurementError::InvalidWidth:
        return QStringLiteral("Width must be greater than 10 px");
    case zrn::MeasurementError::MissingReference:
        return QStringLiteral("Draw a reference on this display");
    case zrn::MeasurementError::ReferenceMismatch:
        return QStringLiteral("Reference unavailable: display or DPI differs");
    case zrn::MeasurementError::UnsupportedReferenceDuration:
        return QStringLiteral("Choose a supported reference duration");
    }
    return kMeasurementUnavailable;
}

QVariantList OverlayController::measurements() const
{
    QVariantList rows;
    for (const zrn::Caliper &caliper : m_model.calipers())
        rows.append(rowFor(caliper));
    return rows;
}

QVariantList OverlayController::referenceChoices() const
{
    QVariantList choices;
    const auto &reference = m_model.reference();
    if (!reference)
        return choices;
    QVariantMap choice;
    choice.insert(QStringLiteral("id"), QVariant::fromValue<quint64>(reference->caliperId));
    // "Reference #%1 — %2 ms" with an em dash.
    choice.insert(QStringLiteral("label"), QStringLiteral("Reference #%1 \u2014 %2 ms")
                                               .arg(QString::number(reference->caliperId),
                                                    durationText(reference->durationMs)));
    choices.append(choice);
    return choices;
}

bool OverlayController::hasQtMeasurement() const
{
    for (const zrn::Caliper &caliper : m_model.calipers()) {
        if (caliper.kind == zrn::CaliperKind::Qtc)
            return true;
    }
    return false;
}

bool OverlayController::qtNeedsReference() const
{
    const auto &reference = m_model.reference();
    for (const zrn::Caliper &caliper : m_model.calipers()) {
        if (caliper.kind != zrn::CaliperKind::Qtc)
            continue;
        if (!reference || !caliper.display.safelyMatches(reference->display))
            return true;
    }
    return false;
}

void OverlayController::setSelectedId(quint64 id)
{
    if (id == m_selectedId)
        return;
    m_selectedId = id;
    emit selectedIdChanged();
}

void OverlayController::setEditMode(bool editMode)
{
    if (editMode == m_editMode)
        return;
    m_editMode = editMode;
    emit editModeChanged();
}

void OverlayController::handleDisplayInvalidated(const QString &stableDisplayId)
{
    // A reference drawn at the display's old scale (or on a display that is
    // gone) must stop calibrating. Its drawing stays where it is.
    // An RR taken from a caliper there is no longer what the user saw.
    const quint64 source = m_rrSource.caliperId();
    const bool sourceThere = source != 0 && m_visuals.value(source).displayId == stableDisplayId;
    if (sourceThere)
        unlinkRrSource(QString());
    const ReferenceState before = referenceState();
    if (!m_model.invalidateReferenceForDisplay(stableDisplayId.toStdString())) {
        if (sourceThere)
            emit transientMessage(kRrDisplayMessage);
        return;
    }
    announce({}, before);
    emit transientMessage(kDisplayInvalidatedMessage);
    if (sourceThere)
        emit transientMessage(kRrDisplayMessage);
}

quint64 OverlayController::addMeasurement(const QString &kind, const QString &displayId,
                                          double logicalDpi, double devicePixelRatio, double startX,
                                          double endX, double y, const QString &color,
                                          double referenceDurationMs)
{
    const zrn::CaliperKind caliperKind = kindFromString(kind);

    // A caliper whose line has no finite height could be neither seen nor
    // picked, yet would still measure (or calibrate). Refuse it before
    // anything else changes.
    if (!std::isfinite(y)) {
        emit transientMessage(kTooNarrowMessage);
        return 0;
    }

    // At most one Reference and one QT/QTc caliper: a new one replaces all
    // earlier calipers of its kind, and that stays done even if the new one
    // is refused below.
    const ReferenceState before = referenceState();
    const QStringList replaced = replaceSameKind(caliperKind);

    const auto added = m_model.addCaliper(
        caliperKind, zrn::DisplayIdentity{displayId.toStdString(), logicalDpi, devicePixelRatio},
        std::fabs(endX - startX), color.toStdString());
    if (!added) {
        emit transientMessage(kTooNarrowMessage);
        if (!replaced.isEmpty())
            announce(replaced, before);
        return 0;
    }

    const quint64 id = *added;
    m_visuals.insert(id, VisualCaliper{id, displayId, startX, endX, y, color});

    if (caliperKind == zrn::CaliperKind::Reference) {
        const zrn::MeasurementError error = m_model.replaceReference(id, referenceDurationMs);
        if (error != zrn::MeasurementError::NoError) {
            // The id stays used up; ids are never given out twice.
            removeWithGeometry(id);
            emit transientMessage(errorLabel(error));
            if (!replaced.isEmpty())
                announce(replaced, before);
            return 0;
        }
    }

    if (m_selectedId != id) {
        m_selectedId = id;
        emit selectedIdChanged();
    }
    announce(replaced + QStringList{displayId}, before);
    return id;
}

QVariantList OverlayController::measurementsForDisplay(const QString &displayId) const
{
    QVariantList rows;
    for (const MeasurementRow &row : rowsForDisplay(displayId))
        rows.append(toMap(row));
    return rows;
}

QList<MeasurementRow> OverlayController::rowsForDisplay(const QString &displayId) const
{
    // Compared as UTF-8, as the model stores it: one conversion per call, not per caliper.
    const std::string wanted = displayId.toStdString();
    QList<MeasurementRow> rows;
    for (const zrn::Caliper &caliper : m_model.calipers()) {
        if (caliper.display.stableId == wanted)
            rows.append(rowOf(caliper));
    }
    return rows;
}

bool OverlayController::updateMeasurementGeometry(quint64 id, double startX, double endX, double y)
{
    const auto entry = m_visuals.find(id);
    if (entry == m_visuals.end() || !m_model.find(id))
        return false;
    // The model judges the width; a line height that is not finite would lose
    // the caliper from sight, so it is refused the same way.
    const ReferenceState before = referenceState();
    if (!std::isfinite(y) || !m_model.updateWidth(id, std::fabs(endX - startX))) {
        emit transientMessage(kWidthMustRemainMessage);
        return false;
    }
    entry->startX = startX;
    entry->endX = endX;
    entry->y = y;
    // A drag that ends here is stored: its preview is over.
    if (m_dragPreview && m_dragPreview->id == id)
        m_dragPreview.reset();
    announce({entry->displayId}, before);
    return true;
}

void OverlayController::nudgeSelected(double logicalPixels)
{
    const auto entry = m_visuals.find(m_selectedId);
    if (entry == m_visuals.end() || !m_model.find(m_selectedId)) {
        emit transientMessage(kSelectBeforeNudgingMessage);
        return;
    }
    // Only the end handle moves, outwards for a positive step whichever way
    // the caliper points; a large negative step carries it past the start.
    const double start = entry->startX;
    const double end = entry->endX;
    const double newEnd = end >= start ? end + logicalPixels : end - logicalPixels;
    const ReferenceState before = referenceState();
    if (!m_model.updateWidth(m_selectedId, std::fabs(newEnd - start))) {
        emit transientMessage(kWidthMustRemainMessage);
        return;
    }
    entry->endX = newEnd;
    announce({entry->displayId}, before);
}

void OverlayController::keepInsideDisplay(const QString &displayId, double width, double height)
{
    if (!std::isfinite(width) || !std::isfinite(height) || width <= 0.0 || height <= 0.0)
        return;
    QList<VisualCaliper> outside;
    for (const VisualCaliper &visual : std::as_const(m_visuals)) {
        if (visual.displayId != displayId)
            continue;
        const double left = std::min(visual.startX, visual.endX);
        const double right = std::max(visual.startX, visual.endX);
        if (left < 0.0 || right > width || visual.y < 0.0 || visual.y > height)
            outside.append(visual);
    }
    std::sort(outside.begin(), outside.end(),
              [](const VisualCaliper &a, const VisualCaliper &b) { return a.id < b.id; });
    for (const VisualCaliper &visual : std::as_const(outside)) {
        const zrn::CaliperLine inside
            = zrn::keptInside({visual.startX, visual.endX, visual.y}, width, height);
        // The same command as a drag, so a squeezed reference recalibrates and
        // a width the model refuses is reported as for a drag.
        updateMeasurementGeometry(visual.id, inside.startX, inside.endX, inside.y);
    }
}

void OverlayController::removeSelected()
{
    const ReferenceState before = referenceState();
    const std::optional<QString> display = removeWithGeometry(m_selectedId);
    if (!display)
        return;
    deselect(m_selectedId);
    announce({*display}, before);
}

std::optional<QString> OverlayController::removeWithGeometry(quint64 id)
{
    if (!m_model.remove(id))
        return std::nullopt;
    if (m_dragPreview && m_dragPreview->id == id)
        m_dragPreview.reset();
    return m_visuals.take(id).displayId;
}

void OverlayController::deselect(quint64 id)
{
    if (m_selectedId == 0 || m_selectedId != id)
        return;
    m_selectedId = 0;
    emit selectedIdChanged();
}

QStringList OverlayController::replaceSameKind(zrn::CaliperKind kind)
{
    if (kind != zrn::CaliperKind::Reference && kind != zrn::CaliperKind::Qtc)
        return {};
    // Collected first: removing while walking the model would skip calipers.
    std::vector<std::uint64_t> sameKind;
    for (const zrn::Caliper &caliper : m_model.calipers()) {
        if (caliper.kind == kind)
            sameKind.push_back(caliper.id);
    }
    QStringList displays;
    for (const std::uint64_t id : sameKind) {
        if (const std::optional<QString> display = removeWithGeometry(id))
            displays.append(*display);
        deselect(id);
    }
    return displays;
}

void OverlayController::clear()
{
    const ReferenceState before = referenceState();
    QStringList displays;
    for (const VisualCaliper &visual : std::as_const(m_visuals))
        displays.append(visual.displayId);
    m_model.clear();
    m_visuals.clear();
    m_dragPreview.reset();
    // Everything goes at the user's word: no message about the RR's caliper.
    unlinkRrSource(QString());
    if (m_selectedId != 0) {
        m_selectedId = 0;
        emit selectedIdChanged();
    }
    announce(displays, before);
}

void OverlayController::setActiveReference(quint64 id, double durationMs)
{
    replaceReference(id, durationMs);
}

void OverlayController::setReferenceDuration(double durationMs)
{
    // The same caliper keeps calibrating; only the duration it stands for changes.
    const auto &reference = m_model.reference();
    if (!reference)
        return;
    const double before = reference->durationMs;
    replaceReference(reference->caliperId, durationMs);
    const auto &after = m_model.reference();
    if (after && after->durationMs != before)
        emit transientMessage(kReferenceDurationMessage.arg(durationText(after->durationMs)));
}

void OverlayController::replaceReference(quint64 id, double durationMs)
{
    const ReferenceState before = referenceState();
    const zrn::MeasurementError error = m_model.replaceReference(id, durationMs);
    if (error != zrn::MeasurementError::NoError) {
        emit transientMessage(errorLabel(error));
        return;
    }
    announce({}, before);
}

OverlayController::ReferenceState OverlayController::referenceState() const
{
    const auto &reference = m_model.reference();
    if (!reference)
        return {};
    return {reference->caliperId, reference->widthPx, reference->durationMs,
            QString::fromStdString(reference->display.stableId)};
}

void OverlayController::announce(QStringList touched, const ReferenceState &before)
{
    const ReferenceState after = referenceState();
    if (after != before)
        touched << before.displayId << after.displayId;
    touched.removeAll(QString());
    touched.removeDuplicates();
    emit measurementsChanged();
    refreshRrSource();
    for (const QString &display : std::as_const(touched))
        emit displayMeasurementsChanged(display);
}

void OverlayController::updateQtMeasurementId()
{
    quint64 id = 0;
    for (const zrn::Caliper &caliper : m_model.calipers()) {
        if (caliper.kind == zrn::CaliperKind::Qtc) {
            id = caliper.id;
            break;
        }
    }
    if (id == m_qtMeasurementId)
        return;
    // The RR taken for the QT/QTc caliper there was goes with it, as a typed one does.
    if (m_qtMeasurementId != 0)
        unlinkRrSource(QString());
    m_qtMeasurementId = id;
    emit qtMeasurementIdChanged();
}

double OverlayController::calculateBazettQtc(double qtMs, double rateOrRrValue,
                                             const QString &mode) const
{
    double rrMs = rateOrRrValue;
    if (mode == QLatin1String("rate")) {
        const auto rr = zrn::MeasurementModel::rrIntervalMsFromRate(rateOrRrValue);
        if (!rr)
            return 0.0;
        rrMs = *rr;
    }
    const auto qtc = zrn::MeasurementModel::bazettCorrectedQtMs(qtMs, rrMs);
    return qtc ? *qtc : 0.0;
}

std::optional<zrn::QtcFormula> OverlayController::formulaFromString(const QString &text)
{
    for (const FormulaName &f : kFormulas) {
        if (text == f.text)
            return f.formula;
    }
    return std::nullopt;
}

double OverlayController::calculateQtc(double qtMs, double rateOrRrValue, const QString &mode,
                                       const QString &formula) const
{
    const std::optional<zrn::QtcFormula> chosen = formulaFromString(formula);
    if (!chosen)
        return 0.0;
    double rrMs = rateOrRrValue;
    if (mode == QLatin1String("rate")) {
        const auto rr = zrn::MeasurementModel::rrIntervalMsFromRate(rateOrRrValue);
        if (!rr)
            return 0.0;
        rrMs = *rr;
    }
    const auto qtc = zrn::MeasurementModel::correctedQtMs(*chosen, qtMs, rrMs);
    return qtc ? *qtc : 0.0;
}

bool OverlayController::setIntervalCount(quint64 id, int count)
{
    const auto entry = m_visuals.find(id);
    const zrn::Caliper *caliper = m_model.find(id);
    if (entry == m_visuals.end() || !caliper)
        return false;
    if (caliper->kind != zrn::CaliperKind::Standard) {
        emit transientMessage(kIntervalCountKindMessage);
        return false;
    }
    if (count < kMinIntervalCount || count > kMaxIntervalCount) {
        emit transientMessage(kIntervalCountRangeMessage);
        return false;
    }
    if (entry->intervalCount == count)
        return true;
    entry->intervalCount = count;
    announce({entry->displayId}, referenceState());
    return true;
}

void OverlayController::setRrPicking(bool picking)
{
    if (picking == m_rrSource.picking())
        return;
    RrSourceLink::State next = m_rrSource.state();
    next.picking = picking;
    m_rrSource.setState(next);
    if (picking)
        emit transientMessage(kRrPickMessage);
}

bool OverlayController::linkRrSource(quint64 id)
{
    const zrn::Caliper *caliper = m_model.find(id);
    if (!caliper || !m_visuals.contains(id))
        return false;
    if (caliper->kind != zrn::CaliperKind::Standard) {
        emit transientMessage(kRrPickMessage);
        return false;
    }
    const double width
        = m_dragPreview && m_dragPreview->id == id ? m_dragPreview->widthPx : caliper->width;
    const std::optional<double> intervalMs = rrIntervalMs(id, width);
    if (!intervalMs) {
        emit transientMessage(kRrNeedsReferenceMessage);
        return false;
    }
    m_rrSource.setState(
        {id, *intervalMs, wholeText(*intervalMs), m_visuals.value(id).color, false});
    return true;
}

void OverlayController::endRrLink()
{
    unlinkRrSource(QString());
}

void OverlayController::unlinkRrSource(const QString &message)
{
    const bool linked = m_rrSource.caliperId() != 0;
    m_rrSource.setState({});
    if (linked && !message.isEmpty())
        emit transientMessage(message);
}

void OverlayController::refreshRrSource(const QString &reason)
{
    const quint64 id = m_rrSource.caliperId();
    if (id == 0)
        return;
    const zrn::Caliper *caliper = m_model.find(id);
    if (!caliper) {
        unlinkRrSource(reason.isEmpty() ? kRrRemovedMessage : reason);
        return;
    }
    const double width
        = m_dragPreview && m_dragPreview->id == id ? m_dragPreview->widthPx : caliper->width;
    const std::optional<double> intervalMs = rrIntervalMs(id, width);
    if (!intervalMs) {
        unlinkRrSource(reason.isEmpty() ? kRrLostReferenceMessage : reason);
        return;
    }
    RrSourceLink::State next = m_rrSource.state();
    next.intervalMs = *intervalMs;
    next.text = wholeText(*intervalMs);
    next.color = m_visuals.value(id).color;
    m_rrSource.setState(next);
}

std::optional<double> OverlayController::rrIntervalMs(quint64 id, double widthPx) const
{
    const zrn::Caliper *caliper = m_model.find(id);
    const auto &reference = m_model.reference();
    if (!caliper || caliper->kind != zrn::CaliperKind::Standard || !reference
        || !caliper->display.safelyMatches(reference->display) || !(reference->widthPx > 0.0)
        || !(reference->durationMs > 0.0))
        return std::nullopt;
    const int count = std::max(kMinIntervalCount, m_visuals.value(id).intervalCount);
    const double meanMs = zrn::MeasurementModel::calibratedIntervalMs(widthPx, reference->widthPx,
                                                                      reference->durationMs)
                          / count;
    if (!std::isfinite(meanMs) || !(meanMs > 0.0))
        return std::nullopt;
    return meanMs;
}

void OverlayController::setDragPreview(quint64 id, double widthPx)
{
    m_dragPreview = DragPreview{id, widthPx};
    if (id == m_rrSource.caliperId())
        refreshRrSource();
}

void OverlayController::clearDragPreview()
{
    if (!m_dragPreview)
        return;
    const bool ofSource = m_dragPreview->id == m_rrSource.caliperId();
    m_dragPreview.reset();
    if (ofSource)
        refreshRrSource();
}

QString OverlayController::labelText(const MeasurementRow &row, double widthPx,
                                     const CorrectionInput &correction) const
{
    const QString pixels = pixelText(widthPx);
    if (row.kind == zrn::CaliperKind::Reference && row.activeReference)
        return QStringLiteral("Ref: %1 ms\n(%2)").arg(durationText(row.referenceDuration), pixels);
    const bool calibrated = row.hasUsableReference();
    const double intervalMs = calibrated ? zrn::MeasurementModel::calibratedIntervalMs(
                                  widthPx, row.referenceWidth, row.referenceDuration)
                                         : 0.0;
    if (row.kind == zrn::CaliperKind::Qtc) {
        if (!calibrated || !std::isfinite(intervalMs))
            return correction.value ? kQtcNeedsReferenceLabel : kQtcOverlayLabel;
        // "QTc" for Bazett, as it always read; the other formulas are named.
        const QString name = qtcName(correction.formula);
        if (!correction.value)
            return QStringLiteral("QT: %1 ms\n%2: \u2013 add RR").arg(wholeText(intervalMs), name);
        const double qtcMs
            = calculateQtc(intervalMs, *correction.value, correction.mode, correction.formula);
        // An additive formula can fall to zero or below for a short QT at a slow rate.
        if (!(qtcMs > 0.0))
            return QStringLiteral("QT: %1 ms\n%2: \u2013 no result")
                .arg(wholeText(intervalMs), name);
        return QStringLiteral("QT: %1 ms\n%2: %3 ms")
            .arg(wholeText(intervalMs), name, wholeText(qtcMs));
    }
    // A Standard caliper over several intervals shows the total, the count and the mean.
    const int count = row.kind == zrn::CaliperKind::Standard
                          ? std::clamp(row.intervalCount, kMinIntervalCount, kMaxIntervalCount)
                          : 1;
    const double meanMs = intervalMs / count;
    const double rateBpm = 60000.0 / meanMs;
    // Absurd widths overflow; an infinite interval or rate is no measurement.
    if (!calibrated || !std::isfinite(intervalMs) || !std::isfinite(rateBpm)) {
        if (count == 1)
            return pixels;
        return QStringLiteral("%1 / %2 = %3 px")
            .arg(pixels, QString::number(count), wholeText(widthPx / count));
    }
    if (count == 1)
        return QStringLiteral("%1 ms\n%2 bpm").arg(wholeText(intervalMs), wholeText(rateBpm));
    return QStringLiteral("%1 ms / %2 = %3 ms\n%4 bpm")
        .arg(wholeText(intervalMs), QString::number(count), wholeText(meanMs), wholeText(rateBpm));
}

QString OverlayController::summaryText(const MeasurementRow &row,
                                       const zrn::MeasurementResult &result)
{
    const bool measured = result.error == zrn::MeasurementError::NoError;
    switch (row.kind) {
    case zrn::CaliperKind::Qtc:
        return measured ? QStringLiteral("QT %1 ms; QTc requires RR")
                              .arg(twoDecimalsText(result.intervalMs))
                        : errorLabel(result.error);
    case zrn::CaliperKind::Reference:
        return row.activeReference
                   ? QStringLiteral("%1 ms reference").arg(durationText(row.referenceDuration))
                   : kInactiveReference;
    default:
        if (!measured)
            return errorLabel(result.error);
        // "%1 ms · %2 BPM" with a middle dot.
        if (row.intervalCount <= 1)
            return QStringLiteral("%1 ms \u00B7 %2 BPM")
                .arg(twoDecimalsText(result.intervalMs), oneDecimalText(result.rateBpm));
        // The rate of the mean interval.
        return QStringLiteral("%1 ms / %2 = %3 ms \u00B7 %4 BPM")
            .arg(twoDecimalsText(result.intervalMs), QString::number(row.intervalCount),
                 twoDecimalsText(result.intervalMs / row.intervalCount),
                 oneDecimalText(60000.0 * row.intervalCount / result.intervalMs));
    }
}

QVariantMap OverlayController::rowFor(const zrn::Caliper &caliper) const
{
    return toMap(rowOf(caliper));
}

MeasurementRow OverlayController::rowOf(const zrn::Caliper &caliper) const
{
    const VisualCaliper visual = m_visuals.value(caliper.id);
    const auto &reference = m_model.reference();

    MeasurementRow row;
    row.id = caliper.id;
    row.kind = caliper.kind;
    row.displayId = QString::fromStdString(caliper.display.stableId);
    row.logicalDpi = caliper.display.logicalDpi;
    row.devicePixelRatio = caliper.display.devicePixelRatio;
    row.rawWidth = caliper.width;
    row.startX = visual.startX;
    row.endX = visual.endX;
    row.y = visual.y;
    row.color = QString::fromStdString(caliper.color);
    row.intervalCount = caliper.kind == zrn::CaliperKind::Standard ? visual.intervalCount : 1;
    row.activeReference = reference && reference->caliperId == caliper.id;
    row.referenceMatches = reference && caliper.display.safelyMatches(reference->display);
    row.referenceWidth = reference ? reference->widthPx : 0.0;
    row.referenceDuration = reference ? reference->durationMs : 0.0;

    // A Reference caliper is never measured: it is the reference or a drawing.
    zrn::MeasurementResult result;
    if (caliper.kind != zrn::CaliperKind::Reference)
        result = m_model.measure(caliper.id);
    row.result = summaryText(row, result);
    // The row's label shows no QT values, which depend on the correction input
    // that only the overlays read, and measures no inactive reference drawing.
    if (caliper.kind == zrn::CaliperKind::Qtc)
        row.overlayLabel = kQtcOverlayLabel;
    else if (caliper.kind == zrn::CaliperKind::Reference && !row.activeReference)
        row.overlayLabel = pixelText(caliper.width);
    else
        row.overlayLabel = labelText(row, caliper.width, CorrectionInput{});
    return row;
}

QVariantMap OverlayController::toMap(const MeasurementRow &row)
{
    QVariantMap map;
    map.insert(QStringLiteral("id"), QVariant::fromValue<quint64>(row.id));
    map.insert(QStringLiteral("kind"), kindLabel(row.kind));
    map.insert(QStringLiteral("displayId"), row.displayId);
    map.insert(QStringLiteral("logicalDpi"), row.logicalDpi);
    map.insert(QStringLiteral("devicePixelRatio"), row.devicePixelRatio);
    map.insert(QStringLiteral("rawWidth"), row.rawWidth);
    map.insert(QStringLiteral("startX"), row.startX);
    map.insert(QStringLiteral("endX"), row.endX);
    map.insert(QStringLiteral("y"), row.y);
    map.insert(QStringLiteral("color"), row.color);
    map.insert(QStringLiteral("activeReference"), row.activeReference);
    map.insert(QStringLiteral("referenceMatches"), row.referenceMatches);
    map.insert(QStringLiteral("referenceWidth"), row.referenceWidth);
    map.insert(QStringLiteral("referenceDuration"), row.referenceDuration);
    map.insert(QStringLiteral("overlayLabel"), row.overlayLabel);
    map.insert(QStringLiteral("result"), row.result);
    map.insert(QStringLiteral("intervalCount"), row.intervalCount);
    return map;
}
