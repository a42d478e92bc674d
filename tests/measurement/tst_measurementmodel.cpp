#include "measurement_model.h"

#include <QtTest>
#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <sstream>

using namespace zrn;

namespace zrn {
// Readable names in failure messages.
char *toString(MeasurementError error)
{
    static const char *const names[] = {"NoError", "InvalidWidth", "MissingReference",
                                        "ReferenceMismatch", "UnsupportedReferenceDuration"};
    const auto index = static_cast<std::size_t>(error);
    return qstrdup(index < std::size(names) ? names[index] : "MeasurementError(?)");
}
} // namespace zrn

enum class LifecycleEvent { Replace, UpdateWidth, Remove, Clear, Invalidate };

Q_DECLARE_METATYPE(zrn::DisplayIdentity)
Q_DECLARE_METATYPE(zrn::MeasurementError)
Q_DECLARE_METATYPE(LifecycleEvent)

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kMax = std::numeric_limits<double>::max();
const double kJustAbove10 = std::nextafter(10.0, 11.0);
const double kJustAbove1e9 = std::nextafter(1e-9, 1.0);

const std::string kLeft = "0123456789abcdef";
const std::string kLeftUpper = "0123456789ABCDEF";
const std::string kRight = "fedcba9876543210";

// Written out here rather than taken from the header, so that a changed table is noticed.
constexpr double kAllowedDurations[] = {25, 50, 100, 200, 250, 400, 500, 1000};

DisplayIdentity display(const std::string &id, double dpi = 96.0, double ratio = 1.0)
{
    return {id, dpi, ratio};
}

bool finite(double x)
{
    return x >= -kMax && x <= kMax; // false for NaN and both infinities
}

bool closeTo(double actual, double expected)
{
    return std::fabs(actual - expected) <= 1e-12 * std::fabs(expected);
}

// Everything observable about a model, as plain values.
struct State
{
    std::vector<Caliper> calipers;
    std::optional<ActiveReference> reference;
    std::uint64_t nextId = 1;
};

State stateOf(const MeasurementModel &model)
{
    return {model.calipers(), model.reference(), model.nextId()};
}

bool sameDisplay(const DisplayIdentity &a, const DisplayIdentity &b)
{
    return a.stableId == b.stableId && a.logicalDpi == b.logicalDpi
           && a.devicePixelRatio == b.devicePixelRatio;
}

// Empty when both states are equal field by field, otherwise what differs.
std::string difference(const State &actual, const State &expected)
{
    std::ostringstream out;
    out.precision(17);
    if (actual.nextId != expected.nextId)
        out << "nextId " << actual.nextId << " instead of " << expected.nextId << "; ";
    if (actual.calipers.size() != expected.calipers.size()) {
        out << actual.calipers.size() << " calipers instead of " << expected.calipers.size()
            << "; ";
    } else {
        for (std::size_t i = 0; i < actual.calipers.size(); ++i) {
            const Caliper &a = actual.calipers[i];
            const Caliper &e = expected.calipers[i];
            if (a.id != e.id || a.kind != e.kind || !sameDisplay(a.display, e.display)
                || a.width != e.width || a.color != e.color) {
                out << "caliper #" << i << " is id " << a.id << " width " << a.width
                    << ", expected id " << e.id << " width " << e.width << "; ";
            }
        }
    }
    if (actual.reference.has_value() != expected.reference.has_value()) {
        out << "reference " << (actual.reference ? "present" : "absent") << " unexpectedly; ";
    } else if (actual.reference) {
        const ActiveReference &a = *actual.reference;
        const ActiveReference &e = *expected.reference;
        if (a.caliperId != e.caliperId || !sameDisplay(a.display, e.display)
            || a.widthPx != e.widthPx || a.durationMs != e.durationMs) {
            out << "reference is " << a.caliperId << " " << a.widthPx << " px = " << a.durationMs
                << " ms, expected " << e.caliperId << " " << e.widthPx << " px = " << e.durationMs
                << " ms; ";
        }
    }
    return out.str();
}

bool isAllowedDuration(double ms)
{
    return std::find(std::begin(kAllowedDurations), std::end(kAllowedDurations), ms)
           != std::end(kAllowedDurations);
}

// Empty when the model's invariants hold, otherwise the first violations found.
std::string invariantViolation(const State &s)
{
    std::ostringstream out;
    for (std::size_t i = 0; i < s.calipers.size(); ++i) {
        const Caliper &c = s.calipers[i];
        if (c.id == 0 || c.id >= s.nextId)
            out << "id " << c.id << " outside [1, nextId); ";
        if (i > 0 && !(s.calipers[i - 1].id < c.id)) // ascending, hence unique
            out << "id " << c.id << " out of order; ";
        if (!(c.width > 10.0) || !finite(c.width))
            out << "caliper " << c.id << " stores width " << c.width << "; ";
        if (c.display.stableId.empty())
            out << "caliper " << c.id << " has no display id; ";
        if (!finite(c.display.logicalDpi) || !finite(c.display.devicePixelRatio))
            out << "caliper " << c.id << " has a non-finite scale; ";
    }
    // A single optional reference: at most one caliper can be the active one.
    if (s.reference) {
        const auto named
            = std::find_if(s.calipers.begin(), s.calipers.end(),
                           [&](const Caliper &c) { return c.id == s.reference->caliperId; });
        if (named == s.calipers.end())
            out << "reference names missing caliper " << s.reference->caliperId << "; ";
        else if (named->width != s.reference->widthPx)
            out << "reference width " << s.reference->widthPx << " != caliper width "
                << named->width << "; ";
        if (!isAllowedDuration(s.reference->durationMs))
            out << "reference duration " << s.reference->durationMs << " not allowed; ";
    }
    return out.str();
}

#define VERIFY_EMPTY(text)                                                                         \
    do {                                                                                           \
        const std::string problem_ = (text);                                                       \
        QVERIFY2(problem_.empty(), problem_.c_str());                                              \
    } while (false)

// A deliberately naive expectation of the model, used by the randomized test.
class ShadowModel
{
public:
    State state;

    static bool validWidth(double w) { return w > 10.0 && w <= kMax; }

    Caliper *find(std::uint64_t id)
    {
        for (Caliper &c : state.calipers) {
            if (c.id == id)
                return &c;
        }
        return nullptr;
    }

    std::optional<std::uint64_t> addCaliper(CaliperKind kind, const DisplayIdentity &d, double w,
                                            const std::string &color)
    {
        if (!validWidth(w) || d.stableId.empty() || !finite(d.logicalDpi)
            || !finite(d.devicePixelRatio))
            return std::nullopt;
        state.calipers.push_back(Caliper{state.nextId, kind, d, w, color});
        return state.nextId++;
    }

    bool updateWidth(std::uint64_t id, double w)
    {
        Caliper *c = validWidth(w) ? find(id) : nullptr;
        if (!c)
            return false;
        c->width = w;
        if (state.reference && state.reference->caliperId == id)
            state.reference->widthPx = w;
        return true;
    }

    bool remove(std::uint64_t id)
    {
        const std::size_t before = state.calipers.size();
        std::vector<Caliper> kept;
        for (const Caliper &c : state.calipers) {
            if (c.id != id)
                kept.push_back(c);
        }
        state.calipers = kept;
        if (state.reference && state.reference->caliperId == id)
            state.reference.reset();
        return kept.size() < before;
    }

    void clear()
    {
        state.calipers.clear();
        state.reference.reset();
    }

    MeasurementError replaceReference(std::uint64_t id, double ms)
    {
        if (!isAllowedDuration(ms))
            return MeasurementError::UnsupportedReferenceDuration;
        const Caliper *c = find(id);
        if (!c)
            return MeasurementError::InvalidWidth;
        state.reference = ActiveReference{id, c->display, c->width, ms};
        return MeasurementError::NoError;
    }

    bool invalidateReferenceForDisplay(const std::string &stableId)
    {
        if (!state.reference || state.reference->display.stableId != stableId)
            return false;
        state.reference.reset();
        return true;
    }

    MeasurementResult measure(std::uint64_t id)
    {
        const Caliper *c = find(id);
        if (!c || !(c->width > 10.0))
            return {MeasurementError::InvalidWidth, 0, 0};
        if (!state.reference)
            return {MeasurementError::MissingReference, 0, 0};
        const DisplayIdentity &a = c->display;
        const DisplayIdentity &r = state.reference->display;
        if (a.stableId.empty() || a.stableId != r.stableId
            || !(std::fabs(a.logicalDpi - r.logicalDpi) <= 1e-9)
            || !(std::fabs(a.devicePixelRatio - r.devicePixelRatio) <= 1e-9))
            return {MeasurementError::ReferenceMismatch, 0, 0};
        const double ms = c->width * state.reference->durationMs / state.reference->widthPx;
        const double bpm = 60000.0 / ms;
        if (!finite(ms) || !finite(bpm))
            return {MeasurementError::InvalidWidth, 0, 0};
        return {MeasurementError::NoError, ms, bpm};
    }
};

} // namespace

class TestMeasurementModel : public QObject
{
    Q_OBJECT

private slots:
    void referenceDurationTable();
    void isAllowedReferenceDuration_data();
    void isAllowedReferenceDuration();
    void rrIntervalMsFromRate_data();
    void rrIntervalMsFromRate();
    void bazettCorrectedQtMs_data();
    void bazettCorrectedQtMs();

    void displayMatching_data();
    void displayMatching();
    void addCaliperRefusals_data();
    void addCaliperRefusals();
    void updateWidthRefusals_data();
    void updateWidthRefusals();
    void idSequencing_data();
    void idSequencing();

    void measureExamples_data();
    void measureExamples();
    void measureCheckOrder_data();
    void measureCheckOrder();
    void replaceReferenceCheckOrder_data();
    void replaceReferenceCheckOrder();
    void referenceLifecycle_data();
    void referenceLifecycle();

    void randomizedOperations();
};

// ---- Interval arithmetic -------------------------------------------------------------------

void TestMeasurementModel::referenceDurationTable()
{
    // The palette offers the durations in this order.
    QVERIFY(std::equal(kReferenceDurationsMs.begin(), kReferenceDurationsMs.end(),
                       std::begin(kAllowedDurations), std::end(kAllowedDurations)));
}

void TestMeasurementModel::isAllowedReferenceDuration_data()
{
    QTest::addColumn<double>("durationMs");
    QTest::addColumn<bool>("allowed");
    for (double ms : kAllowedDurations)
        QTest::addRow("%g", ms) << ms << true;
    const struct
    {
        const char *name;
        double ms;
    } refused[] = {{"0", 0},
                   {"10", 10},
                   {"150", 150},
                   {"300", 300},
                   {"750", 750},
                   {"2000", 2000},
                   {"249.9999", 249.9999},
                   {"250.0001", 250.0001},
                   {"one ulp below 250", std::nextafter(250.0, 0.0)},
                   {"one ulp above 1000", std::nextafter(1000.0, 2000.0)},
                   {"-250", -250},
                   {"NaN", kNaN},
                   {"+inf", kInf},
                   {"-inf", -kInf}};
    for (const auto &row : refused)
        QTest::addRow("%s", row.name) << row.ms << false;
}

void TestMeasurementModel::isAllowedReferenceDuration()
{
    QFETCH(double, durationMs);
    QFETCH(bool, allowed);
    QCOMPARE(MeasurementModel::isAllowedReferenceDuration(durationMs), allowed);
}

void TestMeasurementModel::rrIntervalMsFromRate_data()
{
    QTest::addColumn<double>("rateBpm");
    QTest::addColumn<bool>("hasValue");
    QTest::addColumn<double>("rrMs");
    QTest::newRow("60 bpm") << 60.0 << true << 1000.0;
    QTest::newRow("75 bpm") << 75.0 << true << 800.0;
    QTest::newRow("120 bpm") << 120.0 << true << 500.0;
    QTest::newRow("0.5 bpm") << 0.5 << true << 120000.0;
    QTest::newRow("0") << 0.0 << false << 0.0;
    QTest::newRow("-0") << -0.0 << false << 0.0;
    QTest::newRow("negative") << -60.0 << false << 0.0;
    QTest::newRow("+inf") << kInf << false << 0.0;
    QTest::newRow("-inf") << -kInf << false << 0.0;
    QTest::newRow("NaN") << kNaN << false << 0.0;
    // 60000 divided by a subnormal rate overflows: no interval, rather than an infinite one.
    QTest::newRow("subnormal rate") << 1e-310 << false << 0.0;
}

void TestMeasurementModel::rrIntervalMsFromRate()
{
    QFETCH(double, rateBpm);
    QFETCH(bool, hasValue);
    QFETCH(double, rrMs);
    const std::optional<double> rr = MeasurementModel::rrIntervalMsFromRate(rateBpm);
    QCOMPARE(rr.has_value(), hasValue);
    if (hasValue)
        QVERIFY2(closeTo(*rr, rrMs), QByteArray::number(*rr, 'g', 17));
}

void TestMeasurementModel::bazettCorrectedQtMs_data()
{
    QTest::addColumn<double>("qtMs");
    QTest::addColumn<double>("rrMs");
    QTest::addColumn<bool>("hasValue");
    QTest::addColumn<double>("qtcMs");
    QTest::newRow("QT 400, RR 1000") << 400.0 << 1000.0 << true << 400.0;
    QTest::newRow("QT 400, RR 640") << 400.0 << 640.0 << true << 500.0;
    QTest::newRow("QT 360, RR 810") << 360.0 << 810.0 << true << 400.0;
    QTest::newRow("QT 400, RR 250") << 400.0 << 250.0 << true << 800.0;
    QTest::newRow("QT 400, RR 4000") << 400.0 << 4000.0 << true << 200.0;
    const struct
    {
        const char *name;
        double qt, rr;
    } refused[] = {{"QT 0", 0, 1000},
                   {"QT negative", -400, 1000},
                   {"QT +inf", kInf, 1000},
                   {"QT -inf", -kInf, 1000},
                   {"QT NaN", kNaN, 1000},
                   {"RR 0", 400, 0},
                   {"RR negative", 400, -1000},
                   {"RR +inf", 400, kInf},
                   {"RR -inf", 400, -kInf},
                   {"RR NaN", 400, kNaN},
                   {"both NaN", kNaN, kNaN},
                   // Overflowing quotients: no QTc rather than an infinite one.
                   {"QT huge, RR 1", 1e308, 1},
                   {"RR smallest subnormal", 400, std::numeric_limits<double>::denorm_min()}};
    for (const auto &row : refused)
        QTest::addRow("%s", row.name) << row.qt << row.rr << false << 0.0;
}

void TestMeasurementModel::bazettCorrectedQtMs()
{
    QFETCH(double, qtMs);
    QFETCH(double, rrMs);
    QFETCH(bool, hasValue);
    QFETCH(double, qtcMs);
    const std::optional<double> qtc = MeasurementModel::bazettCorrectedQtMs(qtMs, rrMs);
    QCOMPARE(qtc.has_value(), hasValue);
    if (hasValue)
        QVERIFY2(closeTo(*qtc, qtcMs), QByteArray::number(*qtc, 'g', 17));
}

// ---- Refusal rules and id sequencing ---------------------------------------------------------

void TestMeasurementModel::displayMatching_data()
{
    QTest::addColumn<DisplayIdentity>("a");
    QTest::addColumn<DisplayIdentity>("b");
    QTest::addColumn<bool>("sameScale");
    QTest::addColumn<bool>("matches");
    const DisplayIdentity left = display(kLeft);
    QTest::newRow("identical") << left << left << true << true;
    QTest::newRow("dpi apart by exactly 1e-9")
        << display(kLeft, 0.0) << display(kLeft, 1e-9) << true << true;
    QTest::newRow("dpi apart by just over 1e-9")
        << display(kLeft, 0.0) << display(kLeft, kJustAbove1e9) << false << false;
    QTest::newRow("ratio apart by exactly 1e-9")
        << display(kLeft, 96, 0.0) << display(kLeft, 96, 1e-9) << true << true;
    QTest::newRow("ratio apart by just over 1e-9")
        << display(kLeft, 96, 0.0) << display(kLeft, 96, kJustAbove1e9) << false << false;
    QTest::newRow("dpi 96 and 96 + 2^-30") << left << display(kLeft, 96 + 0x1p-30) << true << true;
    QTest::newRow("dpi 96 and 96 + 2^-29")
        << left << display(kLeft, 96 + 0x1p-29) << false << false;
    QTest::newRow("dpi 96 and 120") << left << display(kLeft, 120) << false << false;
    QTest::newRow("ratio 1 and 1.25") << left << display(kLeft, 96, 1.25) << false << false;
    QTest::newRow("other display") << left << display(kRight) << true << false;
    QTest::newRow("ids differ in case") << left << display(kLeftUpper) << true << false;
    QTest::newRow("one id empty") << display("") << left << true << false;
    QTest::newRow("both ids empty") << display("") << display("") << true << false;
    QTest::newRow("dpi NaN") << display(kLeft, kNaN) << left << false << false;
    QTest::newRow("dpi NaN on both")
        << display(kLeft, kNaN) << display(kLeft, kNaN) << false << false;
    QTest::newRow("ratio NaN") << display(kLeft, 96, kNaN) << left << false << false;
    QTest::newRow("dpi +inf on both")
        << display(kLeft, kInf) << display(kLeft, kInf) << false << false;
}

void TestMeasurementModel::displayMatching()
{
    QFETCH(DisplayIdentity, a);
    QFETCH(DisplayIdentity, b);
    QFETCH(bool, sameScale);
    QFETCH(bool, matches);
    QCOMPARE(a.sameScaleAs(b), sameScale);
    QCOMPARE(b.sameScaleAs(a), sameScale);
    QCOMPARE(a.safelyMatches(b), matches);
    QCOMPARE(b.safelyMatches(a), matches);
}

void TestMeasurementModel::addCaliperRefusals_data()
{
    QTest::addColumn<double>("width");
    QTest::addColumn<DisplayIdentity>("where");
    QTest::addColumn<bool>("accepted");
    const DisplayIdentity left = display(kLeft);
    QTest::newRow("width 10") << 10.0 << left << false;
    QTest::newRow("width just above 10") << kJustAbove10 << left << true;
    QTest::newRow("width 10.5") << 10.5 << left << true;
    QTest::newRow("width largest double") << kMax << left << true;
    QTest::newRow("width 0") << 0.0 << left << false;
    QTest::newRow("width negative") << -50.0 << left << false;
    QTest::newRow("width NaN") << kNaN << left << false;
    QTest::newRow("width +inf") << kInf << left << false;
    QTest::newRow("width -inf") << -kInf << left << false;
    QTest::newRow("empty stable id") << 100.0 << display("") << false;
    QTest::newRow("dpi 0") << 100.0 << display(kLeft, 0.0) << true;
    QTest::newRow("dpi negative") << 100.0 << display(kLeft, -96.0) << true;
    QTest::newRow("ratio 0") << 100.0 << display(kLeft, 96, 0.0) << true;
    QTest::newRow("dpi NaN") << 100.0 << display(kLeft, kNaN) << false;
    QTest::newRow("dpi +inf") << 100.0 << display(kLeft, kInf) << false;
    QTest::newRow("dpi -inf") << 100.0 << display(kLeft, -kInf) << false;
    QTest::newRow("ratio NaN") << 100.0 << display(kLeft, 96, kNaN) << false;
    QTest::newRow("ratio +inf") << 100.0 << display(kLeft, 96, kInf) << false;
    QTest::newRow("ratio -inf") << 100.0 << display(kLeft, 96, -kInf) << false;
}

void TestMeasurementModel::addCaliperRefusals()
{
    QFETCH(double, width);
    QFETCH(DisplayIdentity, where);
    QFETCH(bool, accepted);
    MeasurementModel model;
    QCOMPARE(model.addCaliper(CaliperKind::Reference, display(kLeft), 100, "#000000"), 1u);
    QCOMPARE(model.replaceReference(1, 1000), MeasurementError::NoError);
    const State before = stateOf(model);

    const std::optional<std::uint64_t> id
        = model.addCaliper(CaliperKind::Rhythm, where, width, "#ff0000");
    QCOMPARE(id.has_value(), accepted);
    if (accepted) {
        QCOMPARE(*id, 2u);
        const Caliper *stored = model.find(2);
        QVERIFY(stored);
        QCOMPARE(stored->kind, CaliperKind::Rhythm);
        QVERIFY(sameDisplay(stored->display, where));
        QCOMPARE(stored->width, width);
        QCOMPARE(stored->color, std::string("#ff0000"));
    } else {
        VERIFY_EMPTY(difference(stateOf(model), before));
    }
    // A refusal consumes no id.
    QCOMPARE(model.addCaliper(CaliperKind::Standard, display(kLeft), 50, ""), accepted ? 3u : 2u);
    VERIFY_EMPTY(invariantViolation(stateOf(model)));
}

void TestMeasurementModel::updateWidthRefusals_data()
{
    QTest::addColumn<double>("width");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("10") << 10.0 << false;
    QTest::newRow("just above 10") << kJustAbove10 << true;
    QTest::newRow("10.5") << 10.5 << true;
    QTest::newRow("largest double") << kMax << true;
    QTest::newRow("0") << 0.0 << false;
    QTest::newRow("negative") << -200.0 << false;
    QTest::newRow("NaN") << kNaN << false;
    QTest::newRow("+inf") << kInf << false;
    QTest::newRow("-inf") << -kInf << false;
}

void TestMeasurementModel::updateWidthRefusals()
{
    QFETCH(double, width);
    QFETCH(bool, accepted);
    MeasurementModel model;
    const auto ref = model.addCaliper(CaliperKind::Reference, display(kLeft), 100, "");
    const auto other = model.addCaliper(CaliperKind::Standard, display(kLeft), 50, "");
    QVERIFY(ref && other);
    QCOMPARE(model.replaceReference(*ref, 1000), MeasurementError::NoError);

    for (const std::uint64_t id : {*ref, *other}) {
        const State before = stateOf(model);
        QCOMPARE(model.updateWidth(id, width), accepted);
        if (accepted)
            QCOMPARE(model.find(id)->width, width);
        else
            VERIFY_EMPTY(difference(stateOf(model), before));
    }
    // The reference follows its caliper and keeps its duration.
    QCOMPARE(model.reference()->widthPx, accepted ? width : 100.0);
    QCOMPARE(model.reference()->durationMs, 1000.0);
    VERIFY_EMPTY(invariantViolation(stateOf(model)));
}

void TestMeasurementModel::idSequencing_data()
{
    // a: accepted add, x: refused add, c: clear, r: remove the newest caliper, u: remove unknown id
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QList<quint64>>("ids");
    QTest::newRow("first ids") << QByteArray("aa") << QList<quint64>{1, 2};
    QTest::newRow("ids continue after clear") << QByteArray("aaaca") << QList<quint64>{1, 2, 3, 4};
    QTest::newRow("refusal consumes no id") << QByteArray("axa") << QList<quint64>{1, 2};
    QTest::newRow("refusals first") << QByteArray("xxxa") << QList<quint64>{1};
    QTest::newRow("removed id not reused") << QByteArray("aara") << QList<quint64>{1, 2, 3};
    QTest::newRow("unknown removal") << QByteArray("auua") << QList<quint64>{1, 2};
    QTest::newRow("clear of empty model") << QByteArray("cca") << QList<quint64>{1};
    QTest::newRow("mixed") << QByteArray("axrcxaca") << QList<quint64>{1, 2, 3};
}

void TestMeasurementModel::idSequencing()
{
    QFETCH(QByteArray, script);
    QFETCH(QList<quint64>, ids);
    MeasurementModel model;
    QList<quint64> given;
    for (const char step : script) {
        const std::uint64_t nextIdBefore = model.nextId();
        switch (step) {
        case 'a':
            given.append(
                model.addCaliper(CaliperKind::Standard, display(kLeft), 50, "").value_or(0));
            break;
        case 'x':
            QVERIFY(!model.addCaliper(CaliperKind::Standard, display(kLeft), 10, ""));
            break;
        case 'c':
            model.clear();
            QVERIFY(model.calipers().empty());
            break;
        case 'r':
            QVERIFY(model.remove(given.last()));
            break;
        case 'u':
            QVERIFY(!model.remove(given.last() + 100));
            break;
        }
        QCOMPARE(model.nextId(), nextIdBefore + (step == 'a' ? 1 : 0));
    }
    QCOMPARE(given, ids);
    QCOMPARE(model.nextId(), ids.last() + 1);
}

// ---- Measurement -----------------------------------------------------------------------------

void TestMeasurementModel::measureExamples_data()
{
    QTest::addColumn<double>("refWidth");
    QTest::addColumn<double>("refMs");
    QTest::addColumn<double>("resizedRefWidth"); // 0: the reference keeps its width
    QTest::addColumn<DisplayIdentity>("where");
    QTest::addColumn<double>("width");
    QTest::addColumn<MeasurementError>("error");
    QTest::addColumn<double>("intervalMs");
    QTest::addColumn<double>("rateBpm");
    const DisplayIdentity left = display(kLeft);
    const auto ok = MeasurementError::NoError;
    const auto mismatch = MeasurementError::ReferenceMismatch;
    QTest::newRow("50 px against 1000 ms per 100 px")
        << 100.0 << 1000.0 << 0.0 << left << 50.0 << ok << 500.0 << 120.0;
    QTest::newRow("10.5 px against 1000 ms per 100 px")
        << 100.0 << 1000.0 << 0.0 << left << 10.5 << ok << 105.0 << 60000.0 / 105.0;
    QTest::newRow("reference resized from 100 to 200 px")
        << 100.0 << 1000.0 << 200.0 << left << 100.0 << ok << 500.0 << 120.0;
    QTest::newRow("200 px against 250 ms per 50 px")
        << 50.0 << 250.0 << 0.0 << left << 200.0 << ok << 1000.0 << 60.0;
    QTest::newRow("12 px against 25 ms per 20 px")
        << 20.0 << 25.0 << 0.0 << left << 12.0 << ok << 15.0 << 4000.0;
    QTest::newRow("dpi apart by 2^-30")
        << 100.0 << 1000.0 << 0.0 << display(kLeft, 96 + 0x1p-30) << 50.0 << ok << 500.0 << 120.0;
    QTest::newRow("dpi 120 against 96")
        << 100.0 << 1000.0 << 0.0 << display(kLeft, 120) << 50.0 << mismatch << 0.0 << 0.0;
    QTest::newRow("ratio 1.25 against 1")
        << 100.0 << 1000.0 << 0.0 << display(kLeft, 96, 1.25) << 50.0 << mismatch << 0.0 << 0.0;
    QTest::newRow("other display at the same scale")
        << 100.0 << 1000.0 << 0.0 << display(kRight) << 50.0 << mismatch << 0.0 << 0.0;
    QTest::newRow("huge but representable")
        << 100.0 << 1000.0 << 0.0 << left << 1e300 << ok << 1e301 << 6e-297;
    // Results that overflow are refused rather than reported as infinite.
    QTest::newRow("interval overflows")
        << 11.0 << 1000.0 << 0.0 << left << 1e306 << MeasurementError::InvalidWidth << 0.0 << 0.0;
    QTest::newRow("rate overflows")
        << kMax << 25.0 << 0.0 << left << 11.0 << MeasurementError::InvalidWidth << 0.0 << 0.0;
}

void TestMeasurementModel::measureExamples()
{
    QFETCH(double, refWidth);
    QFETCH(double, refMs);
    QFETCH(double, resizedRefWidth);
    QFETCH(DisplayIdentity, where);
    QFETCH(double, width);
    QFETCH(MeasurementError, error);
    QFETCH(double, intervalMs);
    QFETCH(double, rateBpm);
    MeasurementModel model;
    const auto ref = model.addCaliper(CaliperKind::Reference, display(kLeft), refWidth, "");
    QVERIFY(ref);
    QCOMPARE(model.replaceReference(*ref, refMs), MeasurementError::NoError);
    if (resizedRefWidth != 0.0)
        QVERIFY(model.updateWidth(*ref, resizedRefWidth));
    const auto id = model.addCaliper(CaliperKind::Standard, where, width, "");
    QVERIFY(id);

    const MeasurementResult result = model.measure(*id);
    QCOMPARE(result.error, error);
    if (error == MeasurementError::NoError) {
        QVERIFY2(closeTo(result.intervalMs, intervalMs), QByteArray::number(result.intervalMs));
        QVERIFY2(closeTo(result.rateBpm, rateBpm), QByteArray::number(result.rateBpm));
    } else {
        QCOMPARE(result.intervalMs, 0.0);
        QCOMPARE(result.rateBpm, 0.0);
    }
    // Measuring the reference itself gives its duration.
    if (resizedRefWidth == 0.0 && refWidth * refMs < kMax)
        QVERIFY(closeTo(model.measure(*ref).intervalMs, refMs));
}

void TestMeasurementModel::measureCheckOrder_data()
{
    // Calipers 1 (reference, 100 px, left), 2 (50 px, left), 3 (50 px, right).
    QTest::addColumn<bool>("withReference");
    QTest::addColumn<quint64>("id");
    QTest::addColumn<MeasurementError>("error");
    QTest::newRow("unknown id, no reference")
        << false << quint64(99) << MeasurementError::InvalidWidth;
    QTest::newRow("unknown id") << true << quint64(99) << MeasurementError::InvalidWidth;
    QTest::newRow("id 0") << true << quint64(0) << MeasurementError::InvalidWidth;
    QTest::newRow("no reference") << false << quint64(2) << MeasurementError::MissingReference;
    QTest::newRow("other display, no reference")
        << false << quint64(3) << MeasurementError::MissingReference;
    QTest::newRow("other display") << true << quint64(3) << MeasurementError::ReferenceMismatch;
    QTest::newRow("same display") << true << quint64(2) << MeasurementError::NoError;
    QTest::newRow("the reference itself") << true << quint64(1) << MeasurementError::NoError;
}

void TestMeasurementModel::measureCheckOrder()
{
    QFETCH(bool, withReference);
    QFETCH(quint64, id);
    QFETCH(MeasurementError, error);
    MeasurementModel model;
    QVERIFY(model.addCaliper(CaliperKind::Reference, display(kLeft), 100, ""));
    QVERIFY(model.addCaliper(CaliperKind::Standard, display(kLeft), 50, ""));
    QVERIFY(model.addCaliper(CaliperKind::Standard, display(kRight), 50, ""));
    if (withReference)
        QCOMPARE(model.replaceReference(1, 1000), MeasurementError::NoError);

    const MeasurementResult result = model.measure(id);
    QCOMPARE(result.error, error);
    QCOMPARE(result.intervalMs == 0.0, error != MeasurementError::NoError);
    QCOMPARE(result.rateBpm == 0.0, error != MeasurementError::NoError);
}

void TestMeasurementModel::replaceReferenceCheckOrder_data()
{
    // Calipers 1 (reference at 1000 ms, 100 px, left) and 2 (50 px, right).
    QTest::addColumn<quint64>("id");
    QTest::addColumn<double>("durationMs");
    QTest::addColumn<MeasurementError>("error");
    const auto unsupported = MeasurementError::UnsupportedReferenceDuration;
    QTest::newRow("unknown id, 300 ms") << quint64(99) << 300.0 << unsupported;
    QTest::newRow("unknown id, NaN") << quint64(99) << kNaN << unsupported;
    QTest::newRow("unknown id, 1000 ms") << quint64(99) << 1000.0 << MeasurementError::InvalidWidth;
    QTest::newRow("id 0, 1000 ms") << quint64(0) << 1000.0 << MeasurementError::InvalidWidth;
    QTest::newRow("250.0001 ms") << quint64(2) << 250.0001 << unsupported;
    QTest::newRow("249.9999 ms") << quint64(2) << 249.9999 << unsupported;
    QTest::newRow("+inf") << quint64(2) << kInf << unsupported;
    QTest::newRow("-250 ms") << quint64(2) << -250.0 << unsupported;
    QTest::newRow("250 ms") << quint64(2) << 250.0 << MeasurementError::NoError;
    QTest::newRow("same caliper, 25 ms") << quint64(1) << 25.0 << MeasurementError::NoError;
}

void TestMeasurementModel::replaceReferenceCheckOrder()
{
    QFETCH(quint64, id);
    QFETCH(double, durationMs);
    QFETCH(MeasurementError, error);
    MeasurementModel model;
    QVERIFY(model.addCaliper(CaliperKind::Reference, display(kLeft), 100, ""));
    QVERIFY(model.addCaliper(CaliperKind::Standard, display(kRight, 120, 1.5), 50, ""));
    QCOMPARE(model.replaceReference(1, 1000), MeasurementError::NoError);
    const State before = stateOf(model);

    QCOMPARE(model.replaceReference(id, durationMs), error);
    if (error != MeasurementError::NoError) {
        VERIFY_EMPTY(difference(stateOf(model), before));
        return;
    }
    // The reference is taken over completely from the caliper.
    const Caliper *caliper = model.find(id);
    QVERIFY(caliper);
    QCOMPARE(model.reference()->caliperId, id);
    QVERIFY(sameDisplay(model.reference()->display, caliper->display));
    QCOMPARE(model.reference()->widthPx, caliper->width);
    QCOMPARE(model.reference()->durationMs, durationMs);
    QCOMPARE(model.calipers().size(), std::size_t(2));
}

void TestMeasurementModel::referenceLifecycle_data()
{
    // Calipers 1 (100 px, left), 2 (50 px, left), 3 (80 px, right); with a reference, caliper 1
    // stands for 1000 ms.
    QTest::addColumn<bool>("withReference");
    QTest::addColumn<LifecycleEvent>("event");
    QTest::addColumn<quint64>("id");
    QTest::addColumn<double>("value");
    QTest::addColumn<QByteArray>("stableId");
    QTest::addColumn<int>("result");    // the returned bool or MeasurementError as int; 0 for clear
    QTest::addColumn<quint64>("refId"); // 0: no reference afterwards
    QTest::addColumn<double>("refWidth");
    QTest::addColumn<double>("refMs");
    using E = LifecycleEvent;
    const QByteArray none;
    const QByteArray left(kLeft.c_str());
    const QByteArray right(kRight.c_str());
    QTest::newRow("replaced by another caliper")
        << true << E::Replace << quint64(3) << 500.0 << none << 0 << quint64(3) << 80.0 << 500.0;
    QTest::newRow("duration changed")
        << true << E::Replace << quint64(1) << 250.0 << none << 0 << quint64(1) << 100.0 << 250.0;
    QTest::newRow("replace with 300 ms refused")
        << true << E::Replace << quint64(2) << 300.0 << none << 4 << quint64(1) << 100.0 << 1000.0;
    QTest::newRow("replace with unknown id refused") << true << E::Replace << quint64(99) << 1000.0
                                                     << none << 1 << quint64(1) << 100.0 << 1000.0;
    QTest::newRow("reference resized") << true << E::UpdateWidth << quint64(1) << 200.0 << none << 1
                                       << quint64(1) << 200.0 << 1000.0;
    QTest::newRow("other caliper resized") << true << E::UpdateWidth << quint64(2) << 200.0 << none
                                           << 1 << quint64(1) << 100.0 << 1000.0;
    QTest::newRow("reference resize to 10 refused") << true << E::UpdateWidth << quint64(1) << 10.0
                                                    << none << 0 << quint64(1) << 100.0 << 1000.0;
    QTest::newRow("unknown id resized") << true << E::UpdateWidth << quint64(99) << 200.0 << none
                                        << 0 << quint64(1) << 100.0 << 1000.0;
    QTest::newRow("reference removed")
        << true << E::Remove << quint64(1) << 0.0 << none << 1 << quint64(0) << 0.0 << 0.0;
    QTest::newRow("other caliper removed")
        << true << E::Remove << quint64(2) << 0.0 << none << 1 << quint64(1) << 100.0 << 1000.0;
    QTest::newRow("unknown id removed")
        << true << E::Remove << quint64(99) << 0.0 << none << 0 << quint64(1) << 100.0 << 1000.0;
    QTest::newRow("cleared") << true << E::Clear << quint64(0) << 0.0 << none << 0 << quint64(0)
                             << 0.0 << 0.0;
    QTest::newRow("reference's display invalidated")
        << true << E::Invalidate << quint64(0) << 0.0 << left << 1 << quint64(0) << 0.0 << 0.0;
    QTest::newRow("other display invalidated") << true << E::Invalidate << quint64(0) << 0.0
                                               << right << 0 << quint64(1) << 100.0 << 1000.0;
    QTest::newRow("display id in other case")
        << true << E::Invalidate << quint64(0) << 0.0 << QByteArray(kLeftUpper.c_str()) << 0
        << quint64(1) << 100.0 << 1000.0;
    QTest::newRow("empty display id")
        << true << E::Invalidate << quint64(0) << 0.0 << none << 0 << quint64(1) << 100.0 << 1000.0;
    QTest::newRow("absent: replaced")
        << false << E::Replace << quint64(2) << 1000.0 << none << 0 << quint64(2) << 50.0 << 1000.0;
    QTest::newRow("absent: replace refused")
        << false << E::Replace << quint64(2) << 300.0 << none << 4 << quint64(0) << 0.0 << 0.0;
    QTest::newRow("absent: resized")
        << false << E::UpdateWidth << quint64(1) << 200.0 << none << 1 << quint64(0) << 0.0 << 0.0;
    QTest::newRow("absent: removed")
        << false << E::Remove << quint64(1) << 0.0 << none << 1 << quint64(0) << 0.0 << 0.0;
    QTest::newRow("absent: invalidated")
        << false << E::Invalidate << quint64(0) << 0.0 << left << 0 << quint64(0) << 0.0 << 0.0;
}

void TestMeasurementModel::referenceLifecycle()
{
    QFETCH(bool, withReference);
    QFETCH(LifecycleEvent, event);
    QFETCH(quint64, id);
    QFETCH(double, value);
    QFETCH(QByteArray, stableId);
    QFETCH(int, result);
    QFETCH(quint64, refId);
    QFETCH(double, refWidth);
    QFETCH(double, refMs);
    MeasurementModel model;
    QVERIFY(model.addCaliper(CaliperKind::Reference, display(kLeft), 100, ""));
    QVERIFY(model.addCaliper(CaliperKind::Standard, display(kLeft), 50, ""));
    QVERIFY(model.addCaliper(CaliperKind::Standard, display(kRight), 80, ""));
    if (withReference)
        QCOMPARE(model.replaceReference(1, 1000), MeasurementError::NoError);

    int actual = 0;
    switch (event) {
    case LifecycleEvent::Replace:
        actual = static_cast<int>(model.replaceReference(id, value));
        break;
    case LifecycleEvent::UpdateWidth:
        actual = model.updateWidth(id, value);
        break;
    case LifecycleEvent::Remove:
        actual = model.remove(id);
        break;
    case LifecycleEvent::Clear:
        model.clear();
        break;
    case LifecycleEvent::Invalidate:
        actual = model.invalidateReferenceForDisplay(stableId.toStdString());
        break;
    }
    QCOMPARE(actual, result);
    VERIFY_EMPTY(invariantViolation(stateOf(model)));
    QCOMPARE(model.reference().has_value(), refId != 0);
    if (refId != 0) {
        QCOMPARE(model.reference()->caliperId, refId);
        QCOMPARE(model.reference()->widthPx, refWidth);
        QCOMPARE(model.reference()->durationMs, refMs);
        QVERIFY(sameDisplay(model.reference()->display, model.find(refId)->display));
    } else if (model.find(2)) {
        QCOMPARE(model.measure(2).error, MeasurementError::MissingReference);
    }
    // Only removal takes calipers away; a dropped reference's caliper stays.
    if (event != LifecycleEvent::Remove && event != LifecycleEvent::Clear)
        QCOMPARE(model.calipers().size(), std::size_t(3));
}

// ---- Randomized sequence ---------------------------------------------------------------------

void TestMeasurementModel::randomizedOperations()
{
    enum Op { Add, UpdateWidth, Remove, Clear, Replace, Invalidate, Measure, OpCount };
    std::mt19937_64 rng(20240611);
    std::discrete_distribution<int> opDistribution({30, 20, 10, 1, 15, 8, 16});
    const auto below
        = [&](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); };
    const auto pick = [&](const auto &pool) { return pool[below(std::size(pool))]; };

    const double widths[]
        = {10, kJustAbove10, 10.5, 50, 100, 150, 1e300, kMax, 0, -5, kNaN, kInf, -kInf};
    const std::string ids[] = {kLeft, kLeft, kRight, kLeftUpper, ""};
    const double dpis[] = {96, 96, 96, 120, 96 + 0x1p-30, 0, 1e-9, -96, kNaN, kInf, -kInf};
    const double ratios[] = {1, 1, 1, 1.25, 1 + 0x1p-31, 0, kNaN, kInf};
    const double durations[] = {25,   50,   100,  200,  250, 400,      500,
                                1000, 1000, 1000, 0,    300, 250.0001, std::nextafter(250.0, 0.0),
                                -250, kNaN, kInf, -kInf};
    const CaliperKind kinds[] = {CaliperKind::Standard, CaliperKind::Rhythm, CaliperKind::Reference,
                                 CaliperKind::Qtc, static_cast<CaliperKind>(42)};
    const std::string colors[] = {"#e53935", "", "r\xC3\xB6t"};

    MeasurementModel model;
    ShadowModel shadow;
    const auto randomWidth = [&] {
        return below(2) ? pick(widths) : std::uniform_real_distribution<double>(-20, 400)(rng);
    };
    const auto randomId = [&]() -> std::uint64_t {
        switch (below(6)) {
        case 0:
        case 1:
            if (!model.calipers().empty())
                return model.calipers()[below(model.calipers().size())].id;
            return 0;
        case 2:
            return model.reference() ? model.reference()->caliperId : model.nextId();
        case 3: // includes 0, removed ids and the next id
            return std::uniform_int_distribution<std::uint64_t>(0, model.nextId())(rng);
        case 4:
            return std::numeric_limits<std::uint64_t>::max();
        default:
            return model.nextId();
        }
    };

    int outcomes[OpCount][2] = {}; // [operation][accepted]
    for (int step = 0; step < 10000; ++step) {
        const State before = stateOf(model);
        const Op op = static_cast<Op>(opDistribution(rng));
        std::ostringstream what;
        what.precision(17);
        std::string problem;
        bool accepted = true;
        switch (op) {
        case Add: {
            const CaliperKind kind = pick(kinds);
            const DisplayIdentity d = display(pick(ids), pick(dpis), pick(ratios));
            const double width = randomWidth();
            const std::string color = pick(colors);
            what << "addCaliper(" << static_cast<int>(kind) << ", \"" << d.stableId << "\" "
                 << d.logicalDpi << "/" << d.devicePixelRatio << ", " << width << ")";
            const auto id = model.addCaliper(kind, d, width, color);
            if (id != shadow.addCaliper(kind, d, width, color))
                problem += "returned another id; ";
            accepted = id.has_value();
            break;
        }
        case UpdateWidth: {
            const std::uint64_t id = randomId();
            const double width = randomWidth();
            what << "updateWidth(" << id << ", " << width << ")";
            accepted = model.updateWidth(id, width);
            if (accepted != shadow.updateWidth(id, width))
                problem += "returned the wrong answer; ";
            break;
        }
        case Remove: {
            const std::uint64_t id = randomId();
            what << "remove(" << id << ")";
            accepted = model.remove(id);
            if (accepted != shadow.remove(id))
                problem += "returned the wrong answer; ";
            break;
        }
        case Clear:
            what << "clear()";
            model.clear();
            shadow.clear();
            break;
        case Replace: {
            const std::uint64_t id = randomId();
            const double ms
                = below(4) ? pick(durations) : std::uniform_real_distribution<double>(0, 1200)(rng);
            what << "replaceReference(" << id << ", " << ms << ")";
            const MeasurementError error = model.replaceReference(id, ms);
            if (error != shadow.replaceReference(id, ms))
                problem += "returned the wrong error; ";
            accepted = error == MeasurementError::NoError;
            break;
        }
        case Invalidate: {
            const std::string stableId = pick(ids);
            what << "invalidateReferenceForDisplay(\"" << stableId << "\")";
            accepted = model.invalidateReferenceForDisplay(stableId);
            if (accepted != shadow.invalidateReferenceForDisplay(stableId))
                problem += "returned the wrong answer; ";
            break;
        }
        case Measure: {
            const std::uint64_t id = randomId();
            what << "measure(" << id << ")";
            const MeasurementResult r = model.measure(id);
            const MeasurementResult e = shadow.measure(id);
            if (r.error != e.error || r.intervalMs != e.intervalMs || r.rateBpm != e.rateBpm)
                problem += "measured " + std::to_string(static_cast<int>(r.error)) + " "
                           + std::to_string(r.intervalMs) + " ms instead of "
                           + std::to_string(static_cast<int>(e.error)) + " "
                           + std::to_string(e.intervalMs) + " ms; ";
            accepted = r.error == MeasurementError::NoError;
            const Caliper *found = model.find(id);
            const Caliper *expected = shadow.find(id);
            if ((found == nullptr) != (expected == nullptr) || (found && found->id != id))
                problem += "find disagrees; ";
            break;
        }
        case OpCount:
            break;
        }
        ++outcomes[op][accepted];

        const State after = stateOf(model);
        problem += invariantViolation(after);
        if (after.nextId != before.nextId + (op == Add && accepted ? 1 : 0))
            problem += "nextId moved; ";
        if (!accepted || op == Measure) // refusals and measurements change nothing
            problem += difference(after, before);
        problem += difference(after, shadow.state);
        QVERIFY2(problem.empty(),
                 ("step " + std::to_string(step) + ", " + what.str() + ": " + problem).c_str());
    }
    // The sequence must exercise both outcomes of every operation that can refuse.
    for (int op = 0; op < OpCount; ++op) {
        QVERIFY2(outcomes[op][1] > 0, qPrintable(QStringLiteral("op %1 never accepted").arg(op)));
        QVERIFY2(op == Clear || outcomes[op][0] > 0,
                 qPrintable(QStringLiteral("op %1 never refused").arg(op)));
    }
}

QTEST_MAIN(TestMeasurementModel)
#include "tst_measurementmodel.moc"
