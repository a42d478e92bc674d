#include "measurement_model.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace zrn {

namespace {

constexpr double kMinimumWidthPx = 10.0;
constexpr double kScaleTolerance = 1e-9;

// NaN fails both comparisons, so it is never an acceptable width.
bool isAcceptableWidth(double width)
{
    return width > kMinimumWidthPx && std::isfinite(width);
}

} // namespace

bool DisplayIdentity::sameScaleAs(const DisplayIdentity &other) const
{
    // Written so that a NaN on either side makes a comparison false.
    return std::fabs(logicalDpi - other.logicalDpi) <= kScaleTolerance
           && std::fabs(devicePixelRatio - other.devicePixelRatio) <= kScaleTolerance;
}

bool DisplayIdentity::safelyMatches(const DisplayIdentity &other) const
{
    return !stableId.empty() && stableId == other.stableId && sameScaleAs(other);
}

std::optional<std::uint64_t> MeasurementModel::addCaliper(CaliperKind kind, DisplayIdentity display,
                                                          double width, std::string color)
{
    if (!isAcceptableWidth(width) || display.stableId.empty() || !std::isfinite(display.logicalDpi)
        || !std::isfinite(display.devicePixelRatio)) {
        return std::nullopt;
    }
    const std::uint64_t id = m_nextId;
    m_calipers.push_back(Caliper{id, kind, std::move(display), width, std::move(color)});
    ++m_nextId; // only after the append succeeded, so a failed append consumes no id
    return id;
}

const Caliper *MeasurementModel::find(std::uint64_t id) const
{
    const auto it = std::find_if(m_calipers.begin(), m_calipers.end(),
                                 [id](const Caliper &c) { return c.id == id; });
    return it == m_calipers.end() ? nullptr : &*it;
}

Caliper *MeasurementModel::findMutable(std::uint64_t id)
{
    return const_cast<Caliper *>(std::as_const(*this).find(id));
}

bool MeasurementModel::updateWidth(std::uint64_t id, double width)
{
    if (!isAcceptableWidth(width))
        return false;
    Caliper *caliper = findMutable(id);
    if (!caliper)
        return false;
    caliper->width = width;
    // Resizing the reference recalibrates: it keeps standing for the same duration.
    if (m_reference && m_reference->caliperId == id)
        m_reference->widthPx = width;
    return true;
}

bool MeasurementModel::remove(std::uint64_t id)
{
    const auto before = m_calipers.size();
    m_calipers.erase(std::remove_if(m_calipers.begin(), m_calipers.end(),
                                    [id](const Caliper &c) { return c.id == id; }),
                     m_calipers.end());
    if (m_reference && m_reference->caliperId == id)
        m_reference.reset();
    return m_calipers.size() < before;
}

void MeasurementModel::clear()
{
    m_calipers.clear();
    m_reference.reset();
}

MeasurementError MeasurementModel::replaceReference(std::uint64_t id, double durationMs)
{
    if (!isAllowedReferenceDuration(durationMs))
        return MeasurementError::UnsupportedReferenceDuration;
    const Caliper *caliper = find(id);
    if (!caliper)
        return MeasurementError::InvalidWidth;
    m_reference = ActiveReference{id, caliper->display, caliper->width, durationMs};
    return MeasurementError::NoError;
}

bool MeasurementModel::invalidateReferenceForDisplay(const std::string &stableId)
{
    if (!m_reference || m_reference->display.stableId != stableId)
        return false;
    m_reference.reset();
    return true;
}

MeasurementResult MeasurementModel::measure(std::uint64_t id) const
{
    const Caliper *caliper = find(id);
    if (!caliper || !(caliper->width > kMinimumWidthPx))
        return {MeasurementError::InvalidWidth, 0.0, 0.0};
    if (!m_reference)
        return {MeasurementError::MissingReference, 0.0, 0.0};
    if (!caliper->display.safelyMatches(m_reference->display))
        return {MeasurementError::ReferenceMismatch, 0.0, 0.0};
    const double intervalMs
        = calibratedIntervalMs(caliper->width, m_reference->widthPx, m_reference->durationMs);
    const double rateBpm = 60000.0 / intervalMs;
    // Absurdly large widths overflow; an infinite interval or rate is no measurement.
    if (!std::isfinite(intervalMs) || !std::isfinite(rateBpm))
        return {MeasurementError::InvalidWidth, 0.0, 0.0};
    return {MeasurementError::NoError, intervalMs, rateBpm};
}

double MeasurementModel::calibratedIntervalMs(double widthPx, double referenceWidthPx,
                                              double referenceDurationMs)
{
    // Multiplied first: a width equal to the reference's gives its duration exactly.
    return widthPx * referenceDurationMs / referenceWidthPx;
}

bool MeasurementModel::isAllowedReferenceDuration(double durationMs)
{
    return std::any_of(kReferenceDurationsMs.begin(), kReferenceDurationsMs.end(),
                       [durationMs](double allowed) { return allowed == durationMs; });
}

std::optional<double> MeasurementModel::rrIntervalMsFromRate(double rateBpm)
{
    if (!(rateBpm > 0.0) || !std::isfinite(rateBpm))
        return std::nullopt;
    // A subnormal rate overflows the quotient; infinity is no interval.
    const double rrMs = 60000.0 / rateBpm;
    return std::isfinite(rrMs) ? std::optional<double>(rrMs) : std::nullopt;
}

std::optional<double> MeasurementModel::bazettCorrectedQtMs(double qtMs, double rrMs)
{
    if (!(qtMs > 0.0) || !(rrMs > 0.0) || !std::isfinite(qtMs) || !std::isfinite(rrMs))
        return std::nullopt;
    // A huge QT or a vanishing RR overflows the quotient; infinity is no QTc.
    const double qtcMs = qtMs / std::sqrt(rrMs / 1000.0);
    return std::isfinite(qtcMs) ? std::optional<double>(qtcMs) : std::nullopt;
}

std::optional<double> MeasurementModel::correctedQtMs(QtcFormula formula, double qtMs, double rrMs)
{
    if (formula == QtcFormula::Bazett)
        return bazettCorrectedQtMs(qtMs, rrMs);
    if (!(qtMs > 0.0) || !(rrMs > 0.0) || !std::isfinite(qtMs) || !std::isfinite(rrMs))
        return std::nullopt;
    const double rrSeconds = rrMs / 1000.0;
    double qtcMs = 0.0;
    switch (formula) {
    case QtcFormula::Fridericia:
        qtcMs = qtMs / std::cbrt(rrSeconds);
        break;
    case QtcFormula::Framingham:
        qtcMs = qtMs + 154.0 * (1.0 - rrSeconds);
        break;
    case QtcFormula::Hodges:
        qtcMs = qtMs + 1.75 * (60.0 / rrSeconds - 60.0);
        break;
    case QtcFormula::Bazett:
        break;
    }
    // The additive formulas go below zero for a short QT at a slow rate: no QTc.
    return std::isfinite(qtcMs) && qtcMs > 0.0 ? std::optional<double>(qtcMs) : std::nullopt;
}

} // namespace zrn
