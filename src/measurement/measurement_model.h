#pragma once

// The measurement core: calipers, the single active reference and the
// arithmetic that turns pixels into milliseconds. Deliberately free of Qt so
// that it can be reasoned about (and tested) as plain C++.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zrn {

// Display and scale under which a caliper was drawn.
struct DisplayIdentity
{
    std::string stableId; // UTF-8
    double logicalDpi = 0.0;
    double devicePixelRatio = 0.0;

    // Logical DPI and device pixel ratio each within 1e-9 (inclusive).
    [[nodiscard]] bool sameScaleAs(const DisplayIdentity &other) const;
    // Same non-empty identifier and the same scale. Empty ids never match.
    [[nodiscard]] bool safelyMatches(const DisplayIdentity &other) const;
};

enum class CaliperKind : std::int32_t {
    Standard = 0,
    Rhythm = 1,
    Reference = 2,
    Qtc = 3,
};

enum class MeasurementError : std::int32_t {
    NoError = 0,
    InvalidWidth = 1,
    MissingReference = 2,
    ReferenceMismatch = 3,
    UnsupportedReferenceDuration = 4,
};

// The corrections of a QT interval for heart rate that the QTc card offers.
enum class QtcFormula : std::int32_t {
    Bazett = 0,
    Fridericia = 1,
    Framingham = 2,
    Hodges = 3,
};

struct Caliper
{
    std::uint64_t id = 0;
    CaliperKind kind = CaliperKind::Standard;
    DisplayIdentity display;
    double width = 0.0; // logical pixels, finite and > 10
    std::string color;  // UTF-8, stored as given
};

struct ActiveReference
{
    std::uint64_t caliperId = 0;
    DisplayIdentity display;
    double widthPx = 0.0;
    double durationMs = 0.0;
};

struct MeasurementResult
{
    MeasurementError error = MeasurementError::NoError;
    double intervalMs = 0.0;
    double rateBpm = 0.0;
};

// Durations a reference caliper may stand for, in the order the palette offers them.
inline constexpr std::array<double, 8> kReferenceDurationsMs{25.0,  50.0,  100.0, 200.0,
                                                             250.0, 400.0, 500.0, 1000.0};

class MeasurementModel
{
public:
    MeasurementModel() = default;

    std::optional<std::uint64_t> addCaliper(CaliperKind kind, DisplayIdentity display, double width,
                                            std::string color);
    // Valid until the next change of the model.
    [[nodiscard]] const Caliper *find(std::uint64_t id) const;
    bool updateWidth(std::uint64_t id, double width);
    bool remove(std::uint64_t id);
    void clear();
    MeasurementError replaceReference(std::uint64_t id, double durationMs);
    bool invalidateReferenceForDisplay(const std::string &stableId);
    [[nodiscard]] MeasurementResult measure(std::uint64_t id) const;

    [[nodiscard]] const std::vector<Caliper> &calipers() const { return m_calipers; }
    [[nodiscard]] const std::optional<ActiveReference> &reference() const { return m_reference; }
    [[nodiscard]] std::uint64_t nextId() const { return m_nextId; }

    [[nodiscard]] static bool isAllowedReferenceDuration(double durationMs);
    [[nodiscard]] static std::optional<double> rrIntervalMsFromRate(double rateBpm);
    [[nodiscard]] static std::optional<double> bazettCorrectedQtMs(double qtMs, double rrMs);
    // QT corrected by a formula, from an RR interval in ms: nothing for a QT or
    // RR that is not finite and positive, nor where the result is not.
    [[nodiscard]] static std::optional<double> correctedQtMs(QtcFormula formula, double qtMs,
                                                             double rrMs);
    // The interval a width stands for under a reference of the given width and duration.
    [[nodiscard]] static double calibratedIntervalMs(double widthPx, double referenceWidthPx,
                                                     double referenceDurationMs);

private:
    Caliper *findMutable(std::uint64_t id);

    std::vector<Caliper> m_calipers;
    std::optional<ActiveReference> m_reference;
    std::uint64_t m_nextId = 1;
};

} // namespace zrn
