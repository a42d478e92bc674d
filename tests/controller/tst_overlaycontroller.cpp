// The overlay controller: commands and their signals, same-kind replacement,
// refusals, and the rows and texts the overlays read.

#include "overlay_controller.h"

#include <QLocale>
#include <QMetaMethod>
#include <QMetaProperty>
#include <QSet>
#include <QtTest>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <random>
#include <vector>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kMaxDouble = std::numeric_limits<double>::max();

const QString kTooNarrow = QStringLiteral("Calipers must be wider than 10 logical pixels.");
const QString kMustRemain = QStringLiteral("Width must remain greater than 10 logical pixels.");
const QString kSelectFirst = QStringLiteral("Select a measurement before nudging.");
const QString kDisplayChanged
    = QStringLiteral("Display topology or DPI changed. Draw a new reference on that display.");
const QString kInvalidWidth = QStringLiteral("Width must be greater than 10 px");
const QString kMissingReference = QStringLiteral("Draw a reference on this display");
const QString kMismatch = QStringLiteral("Reference unavailable: display or DPI differs");
const QString kUnsupportedDuration = QStringLiteral("Choose a supported reference duration");
const QString kUnavailable = QStringLiteral("Measurement unavailable");
const QString kInactive = QStringLiteral("Inactive reference drawing");
const QString kQtcLabel = QStringLiteral("QT/QTc\n\u2013 add Ref\n\u2013 add RR");

QString msg(const QString &text)
{
    return QStringLiteral("message:") + text;
}

QString sel(quint64 id)
{
    return QStringLiteral("selected:") + QString::number(id);
}

QString qt(quint64 id)
{
    return QStringLiteral("qt:") + QString::number(id);
}

const QString kChanged = QStringLiteral("measurements");

// Every signal of the controller, in order, with what a listener sees at that moment.
class Recorder : public QObject
{
public:
    explicit Recorder(OverlayController &controller)
    {
        connect(&controller, &OverlayController::measurementsChanged, this,
                [this] { events << kChanged; });
        connect(&controller, &OverlayController::selectedIdChanged, this, [this, &controller] {
            events << sel(controller.property("selectedId").toULongLong());
        });
        connect(&controller, &OverlayController::editModeChanged, this, [this, &controller] {
            events << QStringLiteral("editMode:%1")
                          .arg(controller.property("editMode").toBool() ? "true" : "false");
        });
        connect(&controller, &OverlayController::transientMessage, this,
                [this](const QString &text) { events << msg(text); });
        connect(&controller, &OverlayController::qtMeasurementIdChanged, this,
                [this, &controller] { events << qt(controller.qtMeasurementId()); });
    }

    QStringList take()
    {
        QStringList taken = events;
        events.clear();
        return taken;
    }

    QStringList events;
};

// A caliper of the given width with its start at x = 100.
quint64 add(OverlayController &c, const QString &kind, double width,
            const QString &display = QStringLiteral("A"), double dpi = 96.0, double dpr = 1.0,
            double durationMs = 1000.0)
{
    return c.addMeasurement(kind, display, dpi, dpr, 100.0, 100.0 + width, 300.0,
                            QStringLiteral("#2dd4bf"), durationMs);
}

// Independent spelling of the number formats, for checking rows.
QString whole(double v)
{
    return QString::number(std::round(v));
}

QString pixels(double width)
{
    return whole(width) + QStringLiteral(" px");
}

} // namespace

class TestOverlayController : public QObject
{
    Q_OBJECT

private:
    struct Snapshot
    {
        std::vector<zrn::Caliper> calipers;
        std::optional<zrn::ActiveReference> reference;
        std::uint64_t nextId = 0;
        QHash<quint64, OverlayController::VisualCaliper> visuals;
        quint64 selectedId = 0;
        bool editMode = false;
    };

    static Snapshot snapshot(const OverlayController &c)
    {
        return {c.m_model.calipers(), c.m_model.reference(), c.m_model.nextId(),
                c.m_visuals,          c.m_selectedId,        c.m_editMode};
    }

    static bool sameIdentity(const zrn::DisplayIdentity &a, const zrn::DisplayIdentity &b)
    {
        return a.stableId == b.stableId && a.logicalDpi == b.logicalDpi
               && a.devicePixelRatio == b.devicePixelRatio;
    }

    // Empty when equal, otherwise the first difference found.
    static QString difference(const Snapshot &a, const Snapshot &b)
    {
        if (a.calipers.size() != b.calipers.size())
            return QStringLiteral("caliper count %1 vs %2")
                .arg(a.calipers.size())
                .arg(b.calipers.size());
        for (std::size_t i = 0; i < a.calipers.size(); ++i) {
            const zrn::Caliper &x = a.calipers[i];
            const zrn::Caliper &y = b.calipers[i];
            if (x.id != y.id || x.kind != y.kind || !sameIdentity(x.display, y.display)
                || x.width != y.width || x.color != y.color)
                return QStringLiteral("caliper at %1 differs").arg(i);
        }
        if (a.reference.has_value() != b.reference.has_value())
            return QStringLiteral("reference presence differs");
        if (a.reference
            && (a.reference->caliperId != b.reference->caliperId
                || !sameIdentity(a.reference->display, b.reference->display)
                || a.reference->widthPx != b.reference->widthPx
                || a.reference->durationMs != b.reference->durationMs))
            return QStringLiteral("reference differs");
        if (a.nextId != b.nextId)
            return QStringLiteral("next id %1 vs %2").arg(a.nextId).arg(b.nextId);
        if (a.visuals.size() != b.visuals.size())
            return QStringLiteral("visual count differs");
        for (auto it = a.visuals.cbegin(); it != a.visuals.cend(); ++it) {
            const auto other = b.visuals.constFind(it.key());
            if (other == b.visuals.cend())
                return QStringLiteral("visual %1 missing").arg(it.key());
            const OverlayController::VisualCaliper &x = *it;
            const OverlayController::VisualCaliper &y = *other;
            if (x.id != y.id || x.displayId != y.displayId || x.startX != y.startX
                || x.endX != y.endX || x.y != y.y || x.color != y.color
                || x.intervalCount != y.intervalCount)
                return QStringLiteral("visual %1 differs").arg(it.key());
        }
        if (a.selectedId != b.selectedId)
            return QStringLiteral("selection %1 vs %2").arg(a.selectedId).arg(b.selectedId);
        if (a.editMode != b.editMode)
            return QStringLiteral("edit mode differs");
        return {};
    }

    // What a same-kind replacement leaves of a state.
    static Snapshot withoutKind(Snapshot s, zrn::CaliperKind kind)
    {
        std::vector<zrn::Caliper> kept;
        for (const zrn::Caliper &c : s.calipers) {
            if (c.kind != kind) {
                kept.push_back(c);
                continue;
            }
            s.visuals.remove(c.id);
            if (s.reference && s.reference->caliperId == c.id)
                s.reference.reset();
            if (s.selectedId == c.id)
                s.selectedId = 0;
        }
        s.calipers = kept;
        return s;
    }

    static QList<quint64> ids(const OverlayController &c)
    {
        QList<quint64> result;
        for (const zrn::Caliper &caliper : c.m_model.calipers())
            result << caliper.id;
        return result;
    }

    static quint64 referenceId(const OverlayController &c)
    {
        return c.m_model.reference() ? c.m_model.reference()->caliperId : 0;
    }

    static QVariantMap rowOf(const OverlayController &c, quint64 id)
    {
        const zrn::Caliper *caliper = c.m_model.find(id);
        return caliper ? c.rowFor(*caliper) : QVariantMap();
    }

    // The invariants that hold after every command; empty when all hold.
    static QString invariantViolation(const OverlayController &c);

private slots:
    void initTestCase();

    void metaObjectOrder();
    void kindFromString_data();
    void kindFromString();
    void labels_data();
    void labels();

    void addFirstCalipers();
    void addAccepted_data();
    void addAccepted();
    void addRefused_data();
    void addRefused();
    void replacement_data();
    void replacement();

    void updateGeometry_data();
    void updateGeometry();
    void resizingReferenceRecalibrates();
    void nudge_data();
    void nudge();
    void keepInsideDisplay_data();
    void keepInsideDisplay();
    void removeSelected_data();
    void removeSelected();
    void clearAll();
    void setActiveReference_data();
    void setActiveReference();
    void setReferenceDuration_data();
    void setReferenceDuration();
    void displayInvalidated();
    void selectionAndEditMode();
    void bazett_data();
    void bazett();
    void qtcFormulas_data();
    void qtcFormulas();
    void intervalCount_data();
    void intervalCount();
    void rrSource_data();
    void rrSource();
    void labelText_data();
    void labelText();
    void touchedDisplays_data();
    void touchedDisplays();
    void qtFlags_data();
    void qtFlags();
    void qtMeasurementId_data();
    void qtMeasurementId();

    void rows_data();
    void rows();
    void rowKeysAndTypes();
    void lists();

    void randomizedSequence();
};

void TestOverlayController::initTestCase()
{
    // Every text below is checked under a locale whose decimal separator is a comma.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QCOMPARE(QLocale().toString(1.5), QStringLiteral("1,5"));
}

void TestOverlayController::metaObjectOrder()
{
    const QMetaObject &mo = OverlayController::staticMetaObject;

    QStringList properties;
    for (int i = mo.propertyOffset(); i < mo.propertyCount(); ++i) {
        const QMetaProperty p = mo.property(i);
        properties << QStringLiteral("%1 %2 %3 %4")
                          .arg(QLatin1String(p.typeName()), QLatin1String(p.name()),
                               p.isWritable() ? QStringLiteral("rw") : QStringLiteral("r"),
                               QLatin1String(p.notifySignal().name()));
    }
    QCOMPARE(properties, (QStringList{
                             "QVariantList measurements r measurementsChanged",
                             "QVariantList referenceChoices r measurementsChanged",
                             "bool hasQtMeasurement r measurementsChanged",
                             "bool qtNeedsReference r measurementsChanged",
                             "qulonglong qtMeasurementId r qtMeasurementIdChanged",
                             "qulonglong selectedId rw selectedIdChanged",
                             "bool editMode rw editModeChanged",
                             "RrSourceLink* rrSource r ",
                         }));

    QStringList methods;
    for (int i = mo.methodOffset(); i < mo.methodCount(); ++i) {
        const QMetaMethod m = mo.method(i);
        methods << QString::number(int(m.methodType())) + QLatin1Char(' ')
                       + QLatin1String(m.typeName()) + QLatin1Char(' ')
                       + QLatin1String(m.methodSignature());
    }
    QCOMPARE(methods,
             (QStringList{
                 "1 void measurementsChanged()",
                 "1 void selectedIdChanged()",
                 "1 void editModeChanged()",
                 "1 void transientMessage(QString)",
                 "1 void displayMeasurementsChanged(QString)",
                 "1 void qtMeasurementIdChanged()",
                 "2 void setSelectedId(qulonglong)",
                 "2 void setEditMode(bool)",
                 "2 void handleDisplayInvalidated(QString)",
                 "0 qulonglong addMeasurement(QString,QString,double,double,double,double,double,"
                 "QString,double)",
                 "0 QVariantList measurementsForDisplay(QString)",
                 "0 bool updateMeasurementGeometry(qulonglong,double,double,double)",
                 "0 void nudgeSelected(double)",
                 "0 void keepInsideDisplay(QString,double,double)",
                 "0 void removeSelected()",
                 "0 void clear()",
                 "0 void setActiveReference(qulonglong,double)",
                 "0 void setReferenceDuration(double)",
                 "0 double calculateBazettQtc(double,double,QString)",
                 "0 double calculateQtc(double,double,QString,QString)",
                 "0 bool setIntervalCount(qulonglong,int)",
                 "0 void setRrPicking(bool)",
                 "0 bool linkRrSource(qulonglong)",
                 "0 void endRrLink()",
             }));
}

void TestOverlayController::kindFromString_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("kind");
    QTest::newRow("standard") << "standard" << int(zrn::CaliperKind::Standard);
    QTest::newRow("rhythm") << "rhythm" << int(zrn::CaliperKind::Rhythm);
    QTest::newRow("reference") << "reference" << int(zrn::CaliperKind::Reference);
    QTest::newRow("qtc") << "qtc" << int(zrn::CaliperKind::Qtc);
    QTest::newRow("label text Rhythm") << "Rhythm" << int(zrn::CaliperKind::Standard);
    QTest::newRow("QTC") << "QTC" << int(zrn::CaliperKind::Standard);
    QTest::newRow("padded") << " reference" << int(zrn::CaliperKind::Standard);
    QTest::newRow("empty") << "" << int(zrn::CaliperKind::Standard);
}

void TestOverlayController::kindFromString()
{
    QFETCH(QString, text);
    QFETCH(int, kind);
    QCOMPARE(int(OverlayController::kindFromString(text)), kind);
}

void TestOverlayController::labels_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("kindText");
    QTest::addColumn<QString>("errorText");
    QTest::newRow("0") << 0 << "Standard"
                       << "";
    QTest::newRow("1") << 1 << "Rhythm" << kInvalidWidth;
    QTest::newRow("2") << 2 << "Reference" << kMissingReference;
    QTest::newRow("3") << 3 << "QT/QTc" << kMismatch;
    QTest::newRow("4") << 4 << "" << kUnsupportedDuration;
    QTest::newRow("5") << 5 << "" << kUnavailable;
    QTest::newRow("-1") << -1 << "" << kUnavailable;
}

void TestOverlayController::labels()
{
    QFETCH(int, value);
    QFETCH(QString, kindText);
    QFETCH(QString, errorText);
    QCOMPARE(OverlayController::kindLabel(static_cast<zrn::CaliperKind>(value)), kindText);
    QCOMPARE(OverlayController::errorLabel(static_cast<zrn::MeasurementError>(value)), errorText);
    QCOMPARE(OverlayController::errorLabel(static_cast<zrn::MeasurementError>(value)).isNull(),
             value == 0);
}

void TestOverlayController::addFirstCalipers()
{
    OverlayController c;
    Recorder rec(c);
    QCOMPARE(c.addMeasurement("standard", "A", 96, 1, 100, 200, 300, "#2dd4bf", 1000), 1u);
    QCOMPARE(rec.take(), (QStringList{sel(1), kChanged}));
    QCOMPARE(c.property("selectedId").toULongLong(), 1u);

    // Reversed: the width is the distance, the handles stay where they were put.
    QCOMPARE(c.addMeasurement("rhythm", "B", 120, 2, 200, 100, -5, "#ff0000", 0), 2u);
    QCOMPARE(rec.take(), (QStringList{sel(2), kChanged}));
    const OverlayController::VisualCaliper v = c.m_visuals.value(2);
    QCOMPARE(v.id, 2u);
    QCOMPARE(v.displayId, QStringLiteral("B"));
    QCOMPARE(v.startX, 200.0);
    QCOMPARE(v.endX, 100.0);
    QCOMPARE(v.y, -5.0);
    QCOMPARE(v.color, QStringLiteral("#ff0000"));
    const zrn::Caliper *caliper = c.m_model.find(2);
    QVERIFY(caliper);
    QCOMPARE(caliper->width, 100.0);
    QCOMPARE(caliper->display.stableId, std::string("B"));
    QCOMPARE(caliper->color, std::string("#ff0000"));
    QCOMPARE(c.m_visuals.size(), 2);
}

void TestOverlayController::addAccepted_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<double>("dpi");
    QTest::addColumn<double>("dpr");
    QTest::addColumn<double>("startX");
    QTest::addColumn<double>("endX");
    QTest::addColumn<QString>("kindText");
    QTest::addColumn<double>("width");
    QTest::newRow("just above 10")
        << "standard" << 96.0 << 1.0 << 0.0 << 10.01 << "Standard" << 10.01;
    QTest::newRow("label text as kind")
        << "Rhythm" << 96.0 << 1.0 << 0.0 << 50.0 << "Standard" << 50.0;
    QTest::newRow("empty kind") << "" << 96.0 << 1.0 << 0.0 << 50.0 << "Standard" << 50.0;
    QTest::newRow("qtc") << "qtc" << 96.0 << 1.0 << 0.0 << 50.0 << "QT/QTc" << 50.0;
    QTest::newRow("dpi 0") << "rhythm" << 0.0 << 1.0 << 0.0 << 50.0 << "Rhythm" << 50.0;
    QTest::newRow("negative ratio") << "rhythm" << 96.0 << -2.0 << 0.0 << 50.0 << "Rhythm" << 50.0;
    QTest::newRow("huge finite") << "standard" << 96.0 << 1.0 << 1e300 << -1e300 << "Standard"
                                 << 2e300;
    QTest::newRow("negative coordinates")
        << "standard" << 96.0 << 1.0 << -400.0 << -380.0 << "Standard" << 20.0;
}

void TestOverlayController::addAccepted()
{
    QFETCH(QString, kind);
    QFETCH(double, dpi);
    QFETCH(double, dpr);
    QFETCH(double, startX);
    QFETCH(double, endX);
    QFETCH(QString, kindText);
    QFETCH(double, width);
    OverlayController c;
    Recorder rec(c);
    QCOMPARE(c.addMeasurement(kind, "A", dpi, dpr, startX, endX, 7, "#123456", 1000), 1u);
    QCOMPARE(rec.take(), kindText == QLatin1String("QT/QTc")
                             ? (QStringList{sel(1), qt(1), kChanged})
                             : (QStringList{sel(1), kChanged}));
    const QVariantMap row = rowOf(c, 1);
    QCOMPARE(row.value("kind").toString(), kindText);
    QCOMPARE(row.value("rawWidth").toDouble(), width);
    QCOMPARE(row.value("startX").toDouble(), startX);
    QCOMPARE(row.value("endX").toDouble(), endX);
    QCOMPARE(row.value("logicalDpi").toDouble(), dpi);
    QCOMPARE(row.value("devicePixelRatio").toDouble(), dpr);
    QVERIFY(referenceId(c) == 0);
}

void TestOverlayController::addRefused_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("display");
    QTest::addColumn<double>("dpi");
    QTest::addColumn<double>("dpr");
    QTest::addColumn<double>("startX");
    QTest::addColumn<double>("endX");
    QTest::addColumn<double>("y");
    QTest::addColumn<double>("duration");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("consumesId");

    auto row = [](const char *name, const QString &kind, const QString &display, double dpi,
                  double dpr, double startX, double endX, double y, double duration,
                  const QString &message, bool consumesId) {
        QTest::newRow(name) << kind << display << dpi << dpr << startX << endX << y << duration
                            << message << consumesId;
    };
    row("width 10", "standard", "A", 96, 1, 100, 110, 300, 1000, kTooNarrow, false);
    row("width 9 reversed", "rhythm", "A", 96, 1, 109, 100, 300, 1000, kTooNarrow, false);
    row("width 0", "qtc", "A", 96, 1, 100, 100, 300, 1000, kTooNarrow, false);
    row("NaN start", "standard", "A", 96, 1, kNaN, 100, 300, 1000, kTooNarrow, false);
    row("infinite end", "standard", "A", 96, 1, 0, kInf, 300, 1000, kTooNarrow, false);
    row("minus infinite start", "standard", "A", 96, 1, -kInf, 0, 300, 1000, kTooNarrow, false);
    row("distance overflows", "standard", "A", 96, 1, -kMaxDouble, kMaxDouble, 300, 1000,
        kTooNarrow, false);
    row("empty display", "standard", "", 96, 1, 100, 200, 300, 1000, kTooNarrow, false);
    row("NaN dpi", "standard", "A", kNaN, 1, 100, 200, 300, 1000, kTooNarrow, false);
    row("infinite dpi", "standard", "A", -kInf, 1, 100, 200, 300, 1000, kTooNarrow, false);
    row("infinite ratio", "rhythm", "A", 96, kInf, 100, 200, 300, 1000, kTooNarrow, false);
    row("NaN y", "standard", "A", 96, 1, 100, 200, kNaN, 1000, kTooNarrow, false);
    row("infinite y", "qtc", "A", 96, 1, 100, 200, -kInf, 1000, kTooNarrow, false);
    row("narrow reference", "reference", "A", 96, 1, 100, 105, 300, 1000, kTooNarrow, false);
    row("reference 300 ms", "reference", "A", 96, 1, 100, 200, 300, 300, kUnsupportedDuration,
        true);
    row("reference 250.0001 ms", "reference", "A", 96, 1, 100, 200, 300, 250.0001,
        kUnsupportedDuration, true);
    row("reference NaN ms", "reference", "A", 96, 1, 100, 200, 300, kNaN, kUnsupportedDuration,
        true);
    row("reference infinite ms", "reference", "A", 96, 1, 100, 200, 300, kInf, kUnsupportedDuration,
        true);
}

void TestOverlayController::addRefused()
{
    QFETCH(QString, kind);
    QFETCH(QString, display);
    QFETCH(double, dpi);
    QFETCH(double, dpr);
    QFETCH(double, startX);
    QFETCH(double, endX);
    QFETCH(double, y);
    QFETCH(double, duration);
    QFETCH(QString, message);
    QFETCH(bool, consumesId);

    OverlayController c;
    QCOMPARE(add(c, "standard", 50), 1u);
    Snapshot expected = snapshot(c);
    Recorder rec(c);

    QCOMPARE(c.addMeasurement(kind, display, dpi, dpr, startX, endX, y, "#2dd4bf", duration), 0u);
    QCOMPARE(rec.take(), QStringList{msg(message)});
    if (consumesId)
        ++expected.nextId;
    QCOMPARE(difference(snapshot(c), expected), QString());
    QCOMPARE(add(c, "standard", 50), consumesId ? 3u : 2u);
}

void TestOverlayController::replacement_data()
{
    QTest::addColumn<QStringList>("setup");
    QTest::addColumn<quint64>("select");
    QTest::addColumn<quint64>("activate");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("y");
    QTest::addColumn<double>("duration");
    QTest::addColumn<quint64>("result");
    QTest::addColumn<QList<quint64>>("remaining");
    QTest::addColumn<quint64>("reference");
    QTest::addColumn<quint64>("nextId");
    QTest::addColumn<QStringList>("events");

    using L = QList<quint64>;
    // setup: calipers 1..n of the given kinds, 100 px on "A", references for 1000 ms.
    // select / activate: 0 leaves the selection (the last caliper) / reference alone.
    QTest::newRow("second qtc replaces the selected first")
        << QStringList{"qtc", "standard"} << quint64(1) << quint64(0) << "qtc" << 50.0 << 300.0
        << 1000.0 << quint64(3) << L{2, 3} << quint64(0) << quint64(4)
        << QStringList{sel(0), sel(3), qt(3), kChanged};
    QTest::newRow("second qtc replaces an unselected first")
        << QStringList{"qtc", "standard"} << quint64(0) << quint64(0) << "qtc" << 50.0 << 300.0
        << 1000.0 << quint64(3) << L{2, 3} << quint64(0) << quint64(4)
        << QStringList{sel(3), qt(3), kChanged};
    QTest::newRow("reference replaces the selected active reference")
        << QStringList{"standard", "reference"} << quint64(0) << quint64(0) << "reference" << 50.0
        << 300.0 << 500.0 << quint64(3) << L{1, 3} << quint64(3) << quint64(4)
        << QStringList{sel(0), sel(3), kChanged};
    QTest::newRow("reference replaces an inactive reference drawing")
        << QStringList{"reference", "standard"} << quint64(0) << quint64(2) << "reference" << 50.0
        << 300.0 << 1000.0 << quint64(3) << L{2, 3} << quint64(3) << quint64(4)
        << QStringList{sel(3), kChanged};
    QTest::newRow("qtc leaves the reference")
        << QStringList{"reference", "qtc"} << quint64(0) << quint64(0) << "qtc" << 50.0 << 300.0
        << 1000.0 << quint64(3) << L{1, 3} << quint64(1) << quint64(4)
        << QStringList{sel(0), sel(3), qt(3), kChanged};
    QTest::newRow("standard replaces nothing")
        << QStringList{"reference", "qtc", "standard"} << quint64(0) << quint64(0) << "standard"
        << 50.0 << 300.0 << 1000.0 << quint64(4) << L{1, 2, 3, 4} << quint64(1) << quint64(5)
        << QStringList{sel(4), kChanged};
    QTest::newRow("rhythm replaces nothing")
        << QStringList{"rhythm", "qtc"} << quint64(0) << quint64(0) << "rhythm" << 50.0 << 300.0
        << 1000.0 << quint64(3) << L{1, 2, 3} << quint64(0) << quint64(4)
        << QStringList{sel(3), kChanged};
    QTest::newRow("refused duration: old reference gone, id used up")
        << QStringList{"standard", "reference"} << quint64(0) << quint64(0) << "reference" << 50.0
        << 300.0 << 300.0 << quint64(0) << L{1} << quint64(0) << quint64(4)
        << QStringList{sel(0), msg(kUnsupportedDuration), kChanged};
    QTest::newRow("refused duration without an earlier reference")
        << QStringList{"standard"} << quint64(0) << quint64(0) << "reference" << 50.0 << 300.0
        << 300.0 << quint64(0) << L{1} << quint64(0) << quint64(3)
        << QStringList{msg(kUnsupportedDuration)};
    QTest::newRow("refused narrow reference: old reference gone, no id used")
        << QStringList{"standard", "reference"} << quint64(1) << quint64(0) << "reference" << 5.0
        << 300.0 << 1000.0 << quint64(0) << L{1} << quint64(0) << quint64(3)
        << QStringList{msg(kTooNarrow), kChanged};
    QTest::newRow("refused narrow qtc removes the earlier qtc")
        << QStringList{"qtc"} << quint64(0) << quint64(0) << "qtc" << 10.0 << 300.0 << 1000.0
        << quint64(0) << L{} << quint64(0) << quint64(2)
        << QStringList{sel(0), msg(kTooNarrow), qt(0), kChanged};
    QTest::newRow("line that is not finite replaces nothing")
        << QStringList{"qtc"} << quint64(0) << quint64(0) << "qtc" << 50.0 << kNaN << 1000.0
        << quint64(0) << L{1} << quint64(0) << quint64(2) << QStringList{msg(kTooNarrow)};
}

void TestOverlayController::replacement()
{
    QFETCH(QStringList, setup);
    QFETCH(quint64, select);
    QFETCH(quint64, activate);
    QFETCH(QString, kind);
    QFETCH(double, width);
    QFETCH(double, y);
    QFETCH(double, duration);
    QFETCH(quint64, result);
    QFETCH(QList<quint64>, remaining);
    QFETCH(quint64, reference);
    QFETCH(quint64, nextId);
    QFETCH(QStringList, events);

    OverlayController c;
    for (const QString &k : setup)
        QVERIFY(add(c, k, 100) != 0);
    if (select)
        c.setSelectedId(select);
    if (activate)
        c.setActiveReference(activate, 1000);

    Recorder rec(c);
    QCOMPARE(c.addMeasurement(kind, "A", 96, 1, 100, 100 + width, y, "#2dd4bf", duration), result);
    QCOMPARE(rec.take(), events);
    QCOMPARE(ids(c), remaining);
    QCOMPARE(referenceId(c), reference);
    QCOMPARE(c.m_model.nextId(), nextId);
    QCOMPARE(c.m_visuals.size(), remaining.size());
    for (quint64 id : remaining)
        QVERIFY(c.m_visuals.contains(id));
    if (reference)
        QCOMPARE(c.m_model.reference()->durationMs, reference == result ? duration : 1000.0);
}

void TestOverlayController::updateGeometry_data()
{
    QTest::addColumn<quint64>("id");
    QTest::addColumn<double>("startX");
    QTest::addColumn<double>("endX");
    QTest::addColumn<double>("y");
    QTest::addColumn<bool>("stored");
    QTest::addColumn<QStringList>("events");

    const QStringList changed{kChanged};
    const QStringList refused{msg(kMustRemain)};
    QTest::newRow("move") << quint64(1) << 300.0 << 420.0 << 50.0 << true << changed;
    QTest::newRow("reverse") << quint64(1) << 420.0 << 300.0 << -50.0 << true << changed;
    QTest::newRow("just above 10") << quint64(1) << 0.0 << 10.01 << 1.0 << true << changed;
    QTest::newRow("huge finite") << quint64(1) << -1e300 << 1e300 << 1.0 << true << changed;
    QTest::newRow("exactly 10") << quint64(1) << 100.0 << 110.0 << 1.0 << false << refused;
    QTest::newRow("zero") << quint64(1) << 100.0 << 100.0 << 1.0 << false << refused;
    QTest::newRow("NaN start") << quint64(1) << kNaN << 100.0 << 1.0 << false << refused;
    QTest::newRow("infinite end") << quint64(1) << 0.0 << kInf << 1.0 << false << refused;
    QTest::newRow("distance overflows")
        << quint64(1) << -kMaxDouble << kMaxDouble << 1.0 << false << refused;
    QTest::newRow("NaN y") << quint64(1) << 300.0 << 420.0 << kNaN << false << refused;
    QTest::newRow("infinite y") << quint64(1) << 300.0 << 420.0 << kInf << false << refused;
    QTest::newRow("unknown id") << quint64(7) << 300.0 << 420.0 << 1.0 << false << QStringList();
    QTest::newRow("id 0") << quint64(0) << 300.0 << 420.0 << 1.0 << false << QStringList();
    QTest::newRow("removed id") << quint64(2) << 300.0 << 420.0 << 1.0 << false << QStringList();
}

void TestOverlayController::updateGeometry()
{
    QFETCH(quint64, id);
    QFETCH(double, startX);
    QFETCH(double, endX);
    QFETCH(double, y);
    QFETCH(bool, stored);
    QFETCH(QStringList, events);

    OverlayController c;
    QCOMPARE(add(c, "standard", 100), 1u);
    QCOMPARE(add(c, "standard", 100), 2u);
    c.removeSelected(); // id 2 existed once
    Snapshot expected = snapshot(c);
    Recorder rec(c);

    QCOMPARE(c.updateMeasurementGeometry(id, startX, endX, y), stored);
    QCOMPARE(rec.take(), events);
    if (stored) {
        expected.visuals[id].startX = startX;
        expected.visuals[id].endX = endX;
        expected.visuals[id].y = y;
        expected.calipers[0].width = std::fabs(endX - startX);
    }
    QCOMPARE(difference(snapshot(c), expected), QString());
}

void TestOverlayController::resizingReferenceRecalibrates()
{
    OverlayController c;
    QCOMPARE(add(c, "reference", 100), 1u);
    QCOMPARE(add(c, "standard", 100), 2u);
    QCOMPARE(rowOf(c, 2).value("result").toString(), QStringLiteral("1000.00 ms \u00B7 60.0 BPM"));
    QVERIFY(c.updateMeasurementGeometry(1, 500, 300, 20));
    QCOMPARE(c.m_model.reference()->widthPx, 200.0);
    QCOMPARE(rowOf(c, 2).value("result").toString(), QStringLiteral("500.00 ms \u00B7 120.0 BPM"));
    QCOMPARE(rowOf(c, 1).value("overlayLabel").toString(),
             QStringLiteral("Ref: 1000 ms\n(200 px)"));
}

void TestOverlayController::keepInsideDisplay_data()
{
    QTest::addColumn<double>("startX");
    QTest::addColumn<double>("endX");
    QTest::addColumn<double>("y");
    QTest::addColumn<QString>("display");
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("height");
    QTest::addColumn<QList<double>>("after"); // startX, endX, y
    QTest::addColumn<QStringList>("events");

    const QStringList changed{kChanged};
    const QStringList none;
    QTest::newRow("inside stays") << 100.0 << 300.0 << 200.0 << "A" << 800.0 << 600.0
                                  << QList<double>{100, 300, 200} << none;
    QTest::newRow("touching the edges stays")
        << 0.0 << 800.0 << 600.0 << "A" << 800.0 << 600.0 << QList<double>{0, 800, 600} << none;
    QTest::newRow("beyond the right edge keeps its width")
        << 900.0 << 1100.0 << 200.0 << "A" << 800.0 << 600.0 << QList<double>{600, 800, 200}
        << changed;
    QTest::newRow("reversed keeps its direction")
        << 1100.0 << 900.0 << 200.0 << "A" << 800.0 << 600.0 << QList<double>{800, 600, 200}
        << changed;
    QTest::newRow("left of the display") << -50.0 << 100.0 << 200.0 << "A" << 800.0 << 600.0
                                         << QList<double>{0, 150, 200} << changed;
    QTest::newRow("below the display") << 100.0 << 300.0 << 1000.0 << "A" << 800.0 << 600.0
                                       << QList<double>{100, 300, 600} << changed;
    QTest::newRow("above the display")
        << 100.0 << 300.0 << -5.0 << "A" << 800.0 << 600.0 << QList<double>{100, 300, 0} << changed;
    QTest::newRow("wider than the display is squeezed")
        << 100.0 << 1500.0 << 200.0 << "A" << 800.0 << 600.0 << QList<double>{0, 800, 200}
        << changed;
    QTest::newRow("reversed and wider") << 1500.0 << 100.0 << 200.0 << "A" << 800.0 << 600.0
                                        << QList<double>{800, 0, 200} << changed;
    QTest::newRow("display too narrow for any caliper")
        << 900.0 << 1100.0 << 200.0 << "A" << 8.0 << 600.0 << QList<double>{900, 1100, 200}
        << QStringList{msg(kMustRemain)};
    QTest::newRow("another display") << 900.0 << 1100.0 << 200.0 << "B" << 800.0 << 600.0
                                     << QList<double>{900, 1100, 200} << none;
    QTest::newRow("NaN width") << 900.0 << 1100.0 << 200.0 << "A" << kNaN << 600.0
                               << QList<double>{900, 1100, 200} << none;
    QTest::newRow("infinite height") << 900.0 << 1100.0 << 2000.0 << "A" << 800.0 << kInf
                                     << QList<double>{900, 1100, 2000} << none;
    QTest::newRow("zero size") << 900.0 << 1100.0 << 200.0 << "A" << 0.0 << 0.0
                               << QList<double>{900, 1100, 200} << none;
}

void TestOverlayController::keepInsideDisplay()
{
    QFETCH(double, startX);
    QFETCH(double, endX);
    QFETCH(double, y);
    QFETCH(QString, display);
    QFETCH(double, width);
    QFETCH(double, height);
    QFETCH(QList<double>, after);
    QFETCH(QStringList, events);

    OverlayController c;
    const quint64 id = add(c, "standard", 100);
    QVERIFY(c.updateMeasurementGeometry(id, startX, endX, y));
    const quint64 other = add(c, "standard", 100, QStringLiteral("C"));
    QVERIFY(c.updateMeasurementGeometry(other, 2000, 2300, 900));
    Recorder rec(c);

    c.keepInsideDisplay(display, width, height);
    QCOMPARE(rec.take(), events);
    const QVariantMap row = rowOf(c, id);
    QCOMPARE((QList<double>{row.value("startX").toDouble(), row.value("endX").toDouble(),
                            row.value("y").toDouble()}),
             after);
    QCOMPARE(c.m_model.find(id)->width,
             std::fabs(row.value("endX").toDouble() - row.value("startX").toDouble()));
    // A caliper on another display never moves.
    const QVariantMap otherRow = rowOf(c, other);
    QCOMPARE(otherRow.value("startX").toDouble(), 2000.0);
    QCOMPARE(otherRow.value("y").toDouble(), 900.0);
}

void TestOverlayController::nudge_data()
{
    QTest::addColumn<double>("startX");
    QTest::addColumn<double>("endX");
    QTest::addColumn<quint64>("select");
    QTest::addColumn<double>("step");
    QTest::addColumn<double>("newEnd");
    QTest::addColumn<QStringList>("events");

    const QStringList changed{kChanged};
    const QStringList refused{msg(kMustRemain)};
    // The caliper under test has id 1; newEnd is its end after the command.
    QTest::newRow("nothing selected")
        << 100.0 << 200.0 << quint64(0) << 1.0 << 200.0 << QStringList{msg(kSelectFirst)};
    QTest::newRow("removed caliper selected")
        << 100.0 << 200.0 << quint64(2) << 1.0 << 200.0 << QStringList{msg(kSelectFirst)};
    QTest::newRow("widen forward") << 100.0 << 200.0 << quint64(1) << 5.0 << 205.0 << changed;
    QTest::newRow("widen reversed") << 200.0 << 100.0 << quint64(1) << 1.0 << 99.0 << changed;
    QTest::newRow("narrow reversed") << 200.0 << 100.0 << quint64(1) << -20.0 << 120.0 << changed;
    QTest::newRow("narrow to 10") << 100.0 << 111.0 << quint64(1) << -1.0 << 111.0 << refused;
    QTest::newRow("end onto width 10 past start")
        << 100.0 << 120.0 << quint64(1) << -30.0 << 120.0 << refused;
    QTest::newRow("end passes start") << 100.0 << 120.0 << quint64(1) << -40.0 << 80.0 << changed;
    QTest::newRow("reversed end passes start")
        << 200.0 << 100.0 << quint64(1) << -150.0 << 250.0 << changed;
    QTest::newRow("zero step on 11 px") << 100.0 << 111.0 << quint64(1) << 0.0 << 111.0 << changed;
    QTest::newRow("NaN") << 100.0 << 200.0 << quint64(1) << kNaN << 200.0 << refused;
    QTest::newRow("infinite") << 100.0 << 200.0 << quint64(1) << kInf << 200.0 << refused;
    QTest::newRow("minus infinite") << 100.0 << 200.0 << quint64(1) << -kInf << 200.0 << refused;
    QTest::newRow("overflowing") << -kMaxDouble << 0.0 << quint64(1) << kMaxDouble << 0.0
                                 << refused;
}

void TestOverlayController::nudge()
{
    QFETCH(double, startX);
    QFETCH(double, endX);
    QFETCH(quint64, select);
    QFETCH(double, step);
    QFETCH(double, newEnd);
    QFETCH(QStringList, events);

    OverlayController c;
    QCOMPARE(c.addMeasurement("standard", "A", 96, 1, startX, endX, 300, "#2dd4bf", 0), 1u);
    QCOMPARE(add(c, "standard", 100), 2u);
    c.removeSelected();
    c.setSelectedId(select);
    Snapshot expected = snapshot(c);
    Recorder rec(c);

    c.nudgeSelected(step);
    QCOMPARE(rec.take(), events);
    expected.visuals[1].endX = newEnd;
    expected.calipers[0].width = std::fabs(newEnd - startX);
    QCOMPARE(difference(snapshot(c), expected), QString());
}

void TestOverlayController::removeSelected_data()
{
    QTest::addColumn<quint64>("select");
    QTest::addColumn<QList<quint64>>("remaining");
    QTest::addColumn<quint64>("reference");
    QTest::addColumn<quint64>("selectedAfter");
    QTest::addColumn<QStringList>("events");

    using L = QList<quint64>;
    QTest::newRow("nothing selected")
        << quint64(0) << L{1, 2} << quint64(1) << quint64(0) << QStringList();
    QTest::newRow("unknown id selected")
        << quint64(9) << L{1, 2} << quint64(1) << quint64(9) << QStringList();
    QTest::newRow("standard") << quint64(2) << L{1} << quint64(1) << quint64(0)
                              << QStringList{sel(0), kChanged};
    QTest::newRow("active reference")
        << quint64(1) << L{2} << quint64(0) << quint64(0) << QStringList{sel(0), kChanged};
}

void TestOverlayController::removeSelected()
{
    QFETCH(quint64, select);
    QFETCH(QList<quint64>, remaining);
    QFETCH(quint64, reference);
    QFETCH(quint64, selectedAfter);
    QFETCH(QStringList, events);

    OverlayController c;
    QCOMPARE(add(c, "reference", 100), 1u);
    QCOMPARE(add(c, "standard", 50), 2u);
    c.setSelectedId(select);
    Recorder rec(c);
    c.removeSelected();
    QCOMPARE(rec.take(), events);
    QCOMPARE(ids(c), remaining);
    QCOMPARE(c.m_visuals.size(), remaining.size());
    QCOMPARE(referenceId(c), reference);
    QCOMPARE(c.property("selectedId").toULongLong(), selectedAfter);
    if (!reference)
        QCOMPARE(rowOf(c, 2).value("result").toString(), kMissingReference);
}

void TestOverlayController::clearAll()
{
    OverlayController c;
    Recorder rec(c);
    c.clear();
    QCOMPARE(rec.take(), QStringList{kChanged});

    QCOMPARE(add(c, "reference", 100), 1u);
    QCOMPARE(add(c, "qtc", 100), 2u);
    QCOMPARE(add(c, "standard", 100), 3u);
    c.setEditMode(true);
    rec.take();
    c.clear();
    QCOMPARE(rec.take(), (QStringList{sel(0), qt(0), kChanged}));
    QVERIFY(c.m_model.calipers().empty());
    QVERIFY(c.m_visuals.isEmpty());
    QVERIFY(!c.m_model.reference());
    QVERIFY(c.measurements().isEmpty());
    QVERIFY(c.referenceChoices().isEmpty());
    QVERIFY(!c.hasQtMeasurement());
    QCOMPARE(c.property("editMode").toBool(), true);
    QCOMPARE(add(c, "standard", 100), 4u);
}

void TestOverlayController::setActiveReference_data()
{
    QTest::addColumn<quint64>("id");
    QTest::addColumn<double>("duration");
    QTest::addColumn<quint64>("reference");
    QTest::addColumn<double>("referenceDuration");
    QTest::addColumn<QStringList>("events");

    QTest::newRow("standard for 500 ms")
        << quint64(2) << 500.0 << quint64(2) << 500.0 << QStringList{kChanged};
    QTest::newRow("same caliper, 25 ms")
        << quint64(1) << 25.0 << quint64(1) << 25.0 << QStringList{kChanged};
    QTest::newRow("300 ms") << quint64(2) << 300.0 << quint64(1) << 1000.0
                            << QStringList{msg(kUnsupportedDuration)};
    QTest::newRow("NaN ms") << quint64(2) << kNaN << quint64(1) << 1000.0
                            << QStringList{msg(kUnsupportedDuration)};
    QTest::newRow("unknown id") << quint64(9) << 1000.0 << quint64(1) << 1000.0
                                << QStringList{msg(kInvalidWidth)};
    QTest::newRow("unknown id and 300 ms: duration first")
        << quint64(9) << 300.0 << quint64(1) << 1000.0 << QStringList{msg(kUnsupportedDuration)};
}

void TestOverlayController::setActiveReference()
{
    QFETCH(quint64, id);
    QFETCH(double, duration);
    QFETCH(quint64, reference);
    QFETCH(double, referenceDuration);
    QFETCH(QStringList, events);

    OverlayController c;
    QCOMPARE(add(c, "reference", 100), 1u);
    QCOMPARE(add(c, "standard", 50), 2u);
    Recorder rec(c);
    c.setActiveReference(id, duration);
    QCOMPARE(rec.take(), events);
    QCOMPARE(referenceId(c), reference);
    QCOMPARE(c.m_model.reference()->durationMs, referenceDuration);
    QCOMPARE(ids(c), (QList<quint64>{1, 2}));
    if (reference == 2)
        QCOMPARE(rowOf(c, 1).value("result").toString(), kInactive);
}

void TestOverlayController::setReferenceDuration_data()
{
    QTest::addColumn<bool>("withReference");
    QTest::addColumn<double>("duration");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QStringList>("events");

    QTest::newRow("no reference") << false << 500.0 << "" << QStringList();
    QTest::newRow("500 ms") << true << 500.0 << QStringLiteral("Reference #1 \u2014 500 ms")
                            << QStringList{kChanged, msg(QStringLiteral("Reference: 500 ms"))};
    QTest::newRow("25 ms") << true << 25.0 << QStringLiteral("Reference #1 \u2014 25 ms")
                           << QStringList{kChanged, msg(QStringLiteral("Reference: 25 ms"))};
    QTest::newRow("same duration")
        << true << 1000.0 << QStringLiteral("Reference #1 \u2014 1000 ms") << QStringList{kChanged};
    QTest::newRow("300 ms") << true << 300.0 << QStringLiteral("Reference #1 \u2014 1000 ms")
                            << QStringList{msg(kUnsupportedDuration)};
    QTest::newRow("NaN ms") << true << kNaN << QStringLiteral("Reference #1 \u2014 1000 ms")
                            << QStringList{msg(kUnsupportedDuration)};
}

void TestOverlayController::setReferenceDuration()
{
    QFETCH(bool, withReference);
    QFETCH(double, duration);
    QFETCH(QString, label);
    QFETCH(QStringList, events);

    OverlayController c;
    QCOMPARE(add(c, withReference ? "reference" : "standard", 100), 1u);
    QCOMPARE(add(c, "standard", 50), 2u);
    Recorder rec(c);
    c.setReferenceDuration(duration);
    QCOMPARE(rec.take(), events);
    const QVariantList choices = c.referenceChoices();
    QCOMPARE(choices.isEmpty(), label.isEmpty());
    if (!label.isEmpty())
        QCOMPARE(choices.first().toMap().value("label").toString(), label);
}

void TestOverlayController::displayInvalidated()
{
    OverlayController c;
    QCOMPARE(add(c, "reference", 100), 1u);
    QCOMPARE(add(c, "standard", 50), 2u);
    Recorder rec(c);

    c.handleDisplayInvalidated("B");
    c.handleDisplayInvalidated("a");
    c.handleDisplayInvalidated("");
    QCOMPARE(rec.take(), QStringList());
    QCOMPARE(referenceId(c), 1u);

    c.handleDisplayInvalidated("A");
    QCOMPARE(rec.take(), (QStringList{kChanged, msg(kDisplayChanged)}));
    QVERIFY(!c.m_model.reference());
    QCOMPARE(ids(c), (QList<quint64>{1, 2}));
    QCOMPARE(rowOf(c, 1).value("result").toString(), kInactive);
    QCOMPARE(rowOf(c, 1).value("overlayLabel").toString(), QStringLiteral("100 px"));
    QCOMPARE(rowOf(c, 2).value("result").toString(), kMissingReference);

    c.handleDisplayInvalidated("A");
    QCOMPARE(rec.take(), QStringList());
}

void TestOverlayController::selectionAndEditMode()
{
    OverlayController c;
    Recorder rec(c);
    c.setSelectedId(0);
    c.setEditMode(false);
    QCOMPARE(rec.take(), QStringList());

    QVERIFY(c.setProperty("selectedId", QVariant::fromValue<quint64>(42)));
    c.setSelectedId(42);
    QVERIFY(c.setProperty("editMode", true));
    c.setEditMode(true);
    QCOMPARE(rec.take(), (QStringList{sel(42), QStringLiteral("editMode:true")}));

    // A selection that names no caliper finds nothing.
    c.removeSelected();
    QCOMPARE(rec.take(), QStringList());
    QCOMPARE(c.property("selectedId").toULongLong(), 42u);
}

void TestOverlayController::bazett_data()
{
    QTest::addColumn<double>("qt");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<double>("qtc");

    QTest::newRow("rate 60") << 400.0 << 60.0 << "rate" << 400.0;
    QTest::newRow("rr 640") << 400.0 << 640.0 << "rr" << 500.0;
    QTest::newRow("rate 0") << 400.0 << 0.0 << "rate" << 0.0;
    QTest::newRow("Rate is rr") << 400.0 << 1000.0 << "Rate" << 400.0;
    QTest::newRow("any mode is rr") << 400.0 << 640.0 << "" << 500.0;
    QTest::newRow("negative rate") << 400.0 << -60.0 << "rate" << 0.0;
    QTest::newRow("NaN rr") << 400.0 << kNaN << "rr" << 0.0;
    QTest::newRow("NaN qt") << kNaN << 1000.0 << "rr" << 0.0;
    QTest::newRow("infinite rate") << 400.0 << kInf << "rate" << 0.0;
    QTest::newRow("overflowing correction") << 1e300 << 1e-300 << "rr" << 0.0;
    QTest::newRow("rate too small for an rr") << 400.0 << 1e-310 << "rate" << 0.0;
    QTest::newRow("rate 75") << 400.0 << 75.0 << "rate" << 400.0 / std::sqrt(0.8);
    QTest::newRow("rate 150, QT 360") << 360.0 << 150.0 << "rate" << 360.0 / std::sqrt(0.4);
    QTest::newRow("Rate 60 is an rr of 60 ms")
        << 400.0 << 60.0 << "Rate" << 400.0 / std::sqrt(0.06);
    QTest::newRow("rr 0") << 400.0 << 0.0 << "rr" << 0.0;
    QTest::newRow("infinite rr") << 400.0 << kInf << "rr" << 0.0;
    QTest::newRow("qt 0") << 0.0 << 60.0 << "rate" << 0.0;
}

// The label of a caliper at a width, as the overlays draw it, also while dragged.
void TestOverlayController::labelText_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("calibrated"); // by a reference of 1000 ms drawn 200 px wide
    QTest::addColumn<bool>("active");
    QTest::addColumn<double>("width");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<double>("value"); // 0: nothing usable typed
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("formula");
    QTest::addColumn<int>("count"); // the intervals the caliper is laid over

    const int standard = int(zrn::CaliperKind::Standard);
    const int rhythm = int(zrn::CaliperKind::Rhythm);
    const int reference = int(zrn::CaliperKind::Reference);
    const int qtc = int(zrn::CaliperKind::Qtc);
    const QString rate = QStringLiteral("rate");
    const QString rr = QStringLiteral("rr");
    const QString bazett = QStringLiteral("Bazett");
    QTest::newRow("pixels") << standard << false << false << 100.0 << rate << 0.0 << "100 px"
                            << bazett << 1;
    QTest::newRow("pixels half up")
        << standard << false << false << 100.5 << rate << 0.0 << "101 px" << bazett << 1;
    QTest::newRow("pixels below half")
        << standard << false << false << 100.49 << rate << 0.0 << "100 px" << bazett << 1;
    QTest::newRow("calibrated") << standard << true << false << 100.0 << rate << 0.0
                                << "500 ms\n120 bpm" << bazett << 1;
    QTest::newRow("calibrated rhythm")
        << rhythm << true << false << 66.0 << rate << 0.0 << "330 ms\n182 bpm" << bazett << 1;
    QTest::newRow("calibrated half up")
        << standard << true << false << 100.1 << rate << 0.0 << "501 ms\n120 bpm" << bazett << 1;
    QTest::newRow("active reference") << reference << true << true << 180.5 << rate << 0.0
                                      << "Ref: 1000 ms\n(181 px)" << bazett << 1;
    QTest::newRow("inactive reference, calibrated")
        << reference << true << false << 100.0 << rate << 0.0 << "500 ms\n120 bpm" << bazett << 1;
    QTest::newRow("inactive reference alone")
        << reference << false << false << 120.5 << rate << 0.0 << "121 px" << bazett << 1;
    QTest::newRow("qt nothing") << qtc << false << false << 80.0 << rate << 0.0
                                << "QT/QTc\n\u2013 add Ref\n\u2013 add RR" << bazett << 1;
    QTest::newRow("qt input only")
        << qtc << false << false << 80.0 << rate << 60.0 << "QT/QTc\n\u2013 add Ref" << bazett << 1;
    QTest::newRow("qt no input") << qtc << true << false << 80.0 << rate << 0.0
                                 << "QT: 400 ms\nQTc: \u2013 add RR" << bazett << 1;
    QTest::newRow("qt rate 60") << qtc << true << false << 80.0 << rate << 60.0
                                << "QT: 400 ms\nQTc: 400 ms" << bazett << 1;
    QTest::newRow("qt rate 75") << qtc << true << false << 80.0 << rate << 75.0
                                << "QT: 400 ms\nQTc: 447 ms" << bazett << 1;
    QTest::newRow("qt rr 640") << qtc << true << false << 80.0 << rr << 640.0
                               << "QT: 400 ms\nQTc: 500 ms" << bazett << 1;
    QTest::newRow("qt rr 810, unrounded qt")
        << qtc << true << false << 72.1 << rr << 810.0 << "QT: 361 ms\nQTc: 401 ms" << bazett << 1;

    // The other formulas name themselves; Bazett reads as it always did.
    QTest::newRow("Fridericia, rate 75")
        << qtc << true << false << 80.0 << rate << 75.0 << "QT: 400 ms\nQTcF: 431 ms"
        << "Fridericia" << 1;
    QTest::newRow("Framingham, rate 75")
        << qtc << true << false << 80.0 << rate << 75.0 << "QT: 400 ms\nQTcFra: 431 ms"
        << "Framingham" << 1;
    QTest::newRow("Hodges, rate 75")
        << qtc << true << false << 80.0 << rate << 75.0 << "QT: 400 ms\nQTcH: 426 ms"
        << "Hodges" << 1;
    QTest::newRow("Hodges, rr 800")
        << qtc << true << false << 80.0 << rr << 800.0 << "QT: 400 ms\nQTcH: 426 ms"
        << "Hodges" << 1;
    QTest::newRow("Fridericia, no input")
        << qtc << true << false << 80.0 << rate << 0.0 << "QT: 400 ms\nQTcF: \u2013 add RR"
        << "Fridericia" << 1;
    QTest::newRow("Hodges, no reference")
        << qtc << false << false << 80.0 << rate << 75.0 << "QT/QTc\n\u2013 add Ref"
        << "Hodges" << 1;
    // Additive corrections of a short QT at a slow rate fall below zero: no QTc.
    QTest::newRow("Hodges below zero")
        << qtc << true << false << 10.0 << rate << 20.0 << "QT: 50 ms\nQTcH: \u2013 no result"
        << "Hodges" << 1;
    QTest::newRow("Framingham below zero")
        << qtc << true << false << 50.0 << rr << 3000.0 << "QT: 250 ms\nQTcFra: \u2013 no result"
        << "Framingham" << 1;
    QTest::newRow("formula in lower case")
        << qtc << true << false << 80.0 << rate << 75.0 << "QT: 400 ms\nQTc: \u2013 no result"
        << "bazett" << 1;
    // Several intervals: the total, the count, the mean and the rate of the mean.
    QTest::newRow("3 intervals") << standard << true << false << 120.0 << rate << 0.0
                                 << "600 ms / 3 = 200 ms\n300 bpm" << bazett << 3;
    QTest::newRow("2 intervals, rounded each") << standard << true << false << 100.1 << rate << 0.0
                                               << "501 ms / 2 = 250 ms\n240 bpm" << bazett << 2;
    QTest::newRow("20 intervals") << standard << true << false << 200.0 << rate << 0.0
                                  << "1000 ms / 20 = 50 ms\n1200 bpm" << bazett << 20;
    QTest::newRow("3 intervals, uncalibrated") << standard << false << false << 120.0 << rate << 0.0
                                               << "120 px / 3 = 40 px" << bazett << 3;
    QTest::newRow("a rhythm caliper measures one")
        << rhythm << true << false << 66.0 << rate << 0.0 << "330 ms\n182 bpm" << bazett << 3;
}

void TestOverlayController::labelText()
{
    QFETCH(int, kind);
    QFETCH(bool, calibrated);
    QFETCH(bool, active);
    QFETCH(double, width);
    QFETCH(QString, mode);
    QFETCH(double, value);
    QFETCH(QString, text);
    QFETCH(QString, formula);
    QFETCH(int, count);
    MeasurementRow row;
    row.kind = zrn::CaliperKind(kind);
    row.intervalCount = count;
    row.activeReference = active;
    row.referenceMatches = calibrated;
    row.referenceWidth = calibrated ? 200 : 0;
    row.referenceDuration = calibrated ? 1000 : 0;
    OverlayController::CorrectionInput input;
    input.mode = mode;
    input.formula = formula;
    if (value > 0)
        input.value = value;
    OverlayController c;
    QCOMPARE(c.labelText(row, width, input), text);
}

// After each command, displayMeasurementsChanged names exactly the displays
// whose rows changed, once each: an overlay rebuilds for its own display only.
void TestOverlayController::touchedDisplays_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<QStringList>("touched");
    // The start: a reference and a caliper on A, a caliper on B (selected).
    QTest::newRow("add on B") << 0 << QStringList{"B"};
    QTest::newRow("drag on B") << 1 << QStringList{"B"};
    QTest::newRow("resize the reference on A") << 2 << QStringList{"A"};
    QTest::newRow("a reference on B replaces A's") << 3 << QStringList{"B", "A"};
    QTest::newRow("duration of the reference") << 4 << QStringList{"A"};
    QTest::newRow("the same duration again") << 5 << QStringList{};
    QTest::newRow("remove on B") << 6 << QStringList{"B"};
    QTest::newRow("clear") << 7 << QStringList{"A", "B"};
    QTest::newRow("A invalidated") << 8 << QStringList{"A"};
    QTest::newRow("B invalidated") << 9 << QStringList{};
    QTest::newRow("refused geometry") << 10 << QStringList{};
}

void TestOverlayController::touchedDisplays()
{
    QFETCH(int, command);
    QFETCH(QStringList, touched);
    OverlayController c;
    const quint64 ref = add(c, QStringLiteral("reference"), 100);
    add(c, QStringLiteral("standard"), 50);
    const quint64 onB = add(c, QStringLiteral("standard"), 50, QStringLiteral("B"));
    QStringList seen;
    connect(&c, &OverlayController::displayMeasurementsChanged, this,
            [&seen](const QString &display) { seen << display; });
    switch (command) {
    case 0:
        add(c, QStringLiteral("standard"), 60, QStringLiteral("B"));
        break;
    case 1:
        c.updateMeasurementGeometry(onB, 120, 200, 300);
        break;
    case 2:
        c.updateMeasurementGeometry(ref, 100, 300, 300);
        break;
    case 3:
        add(c, QStringLiteral("reference"), 100, QStringLiteral("B"));
        break;
    case 4:
        c.setReferenceDuration(500);
        break;
    case 5:
        c.setReferenceDuration(1000);
        break;
    case 6:
        c.removeSelected();
        break;
    case 7:
        c.clear();
        break;
    case 8:
        c.handleDisplayInvalidated(QStringLiteral("A"));
        break;
    case 9:
        c.handleDisplayInvalidated(QStringLiteral("B"));
        break;
    case 10:
        c.updateMeasurementGeometry(onB, 100, 105, 300);
        break;
    }
    seen.sort();
    touched.sort();
    QCOMPARE(seen, touched);
}

void TestOverlayController::bazett()
{
    QFETCH(double, qt);
    QFETCH(double, value);
    QFETCH(QString, mode);
    QFETCH(double, qtc);
    OverlayController c;
    QCOMPARE(c.calculateBazettQtc(qt, value, mode), qtc);
}

// The four corrections, read from a rate or an RR as calculateBazettQtc reads them.
void TestOverlayController::qtcFormulas_data()
{
    QTest::addColumn<double>("qt");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("formula");
    QTest::addColumn<double>("qtc"); // to one decimal; 0: no result

    const QStringList formulas{"Bazett", "Fridericia", "Framingham", "Hodges"};
    // QT 400 ms at 75 bpm, RR 0.8 s, given either way.
    const double at75[] = {447.2, 430.9, 430.8, 426.3};
    for (int i = 0; i < formulas.size(); ++i) {
        const QByteArray f = formulas[i].toUtf8();
        QTest::addRow("%s, 75 bpm", f.constData())
            << 400.0 << 75.0 << "rate" << formulas[i] << at75[i];
        QTest::addRow("%s, RR 800 ms", f.constData())
            << 400.0 << 800.0 << "rr" << formulas[i] << at75[i];
        // At RR = 1 s every formula gives the QT itself.
        QTest::addRow("%s, RR 1000 ms", f.constData())
            << 400.0 << 1000.0 << "rr" << formulas[i] << 400.0;
        QTest::addRow("%s, 60 bpm", f.constData())
            << 400.0 << 60.0 << "rate" << formulas[i] << 400.0;
        // Nothing usable in, no result out.
        QTest::addRow("%s, QT 0", f.constData()) << 0.0 << 75.0 << "rate" << formulas[i] << 0.0;
        QTest::addRow("%s, negative QT", f.constData())
            << -400.0 << 800.0 << "rr" << formulas[i] << 0.0;
        QTest::addRow("%s, NaN QT", f.constData()) << kNaN << 800.0 << "rr" << formulas[i] << 0.0;
        QTest::addRow("%s, infinite QT", f.constData())
            << kInf << 800.0 << "rr" << formulas[i] << 0.0;
        QTest::addRow("%s, rate 0", f.constData()) << 400.0 << 0.0 << "rate" << formulas[i] << 0.0;
        QTest::addRow("%s, negative RR", f.constData())
            << 400.0 << -800.0 << "rr" << formulas[i] << 0.0;
        QTest::addRow("%s, NaN rate", f.constData())
            << 400.0 << kNaN << "rate" << formulas[i] << 0.0;
        QTest::addRow("%s, infinite RR", f.constData())
            << 400.0 << kInf << "rr" << formulas[i] << 0.0;
        QTest::addRow("%s, rate too small for an RR", f.constData())
            << 400.0 << 1e-310 << "rate" << formulas[i] << 0.0;
    }
    // Any mode but "rate" is an RR: 75 read as 75 ms, a heart rate of 800.
    QTest::newRow("Hodges, Rate is rr") << 400.0 << 75.0 << "Rate"
                                        << "Hodges" << 1695.0;
    QTest::newRow("Fridericia, empty mode is rr") << 400.0 << 800.0 << ""
                                                  << "Fridericia" << 430.9;
    QTest::newRow("Hodges at 150 bpm") << 360.0 << 150.0 << "rate"
                                       << "Hodges" << 517.5;
    QTest::newRow("Framingham at 40 bpm") << 460.0 << 40.0 << "rate"
                                          << "Framingham" << 383.0;
    // The additive formulas reach zero and below for a short QT at a slow rate.
    QTest::newRow("Framingham below zero") << 200.0 << 3000.0 << "rr"
                                           << "Framingham" << 0.0;
    QTest::newRow("Framingham at zero") << 308.0 << 3000.0 << "rr"
                                        << "Framingham" << 0.0;
    QTest::newRow("Hodges below zero") << 50.0 << 20.0 << "rate"
                                       << "Hodges" << 0.0;
    QTest::newRow("Fridericia overflows") << 1e308 << 1e-300 << "rr"
                                          << "Fridericia" << 0.0;
    QTest::newRow("Hodges overflows") << 400.0 << 1e-320 << "rr"
                                      << "Hodges" << 0.0;
    // Exactly the four texts.
    for (const char *other : {"bazett", "BAZETT", "Fridericia ", "QTcF", "Hodge", ""})
        QTest::addRow("formula '%s'", other) << 400.0 << 75.0 << "rate" << other << 0.0;
}

void TestOverlayController::qtcFormulas()
{
    QFETCH(double, qt);
    QFETCH(double, value);
    QFETCH(QString, mode);
    QFETCH(QString, formula);
    QFETCH(double, qtc);
    OverlayController c;
    const double result = c.calculateQtc(qt, value, mode, formula);
    QCOMPARE(std::round(result * 10) / 10, qtc);
    if (qtc == 400.0)
        QCOMPARE(result, qt); // exactly, not only to a decimal
    // Bazett's own invokable gives the same, to the last bit.
    if (formula == QLatin1String("Bazett"))
        QCOMPARE(c.calculateBazettQtc(qt, value, mode), result);
}

// The number of intervals a Standard caliper is laid over, in its row and
// label; other kinds and counts outside 1 to 20 are refused with a message.
void TestOverlayController::intervalCount_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<int>("stored");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("result");

    const QString range = msg(QStringLiteral("Interval count must be from 1 to 20."));
    const QString kind
        = msg(QStringLiteral("Only a Standard caliper measures the mean of several intervals."));
    const QString dot = QStringLiteral(" \u00B7 ");
    // A 1000 ms reference drawn 100 px wide, and the caliper 150 px wide: 1500 ms.
    QTest::newRow("3") << "standard" << 3 << QStringList{kChanged} << 3
                       << "1500 ms / 3 = 500 ms\n120 bpm"
                       << "1500.00 ms / 3 = 500.00 ms" + dot + "120.0 BPM";
    QTest::newRow("20") << "standard" << 20 << QStringList{kChanged} << 20
                        << "1500 ms / 20 = 75 ms\n800 bpm"
                        << "1500.00 ms / 20 = 75.00 ms" + dot + "800.0 BPM";
    QTest::newRow("7, mean rounded")
        << "standard" << 7 << QStringList{kChanged} << 7 << "1500 ms / 7 = 214 ms\n280 bpm"
        << "1500.00 ms / 7 = 214.29 ms" + dot + "280.0 BPM";
    QTest::newRow("1 again") << "standard" << 1 << QStringList() << 1 << "1500 ms\n40 bpm"
                             << "1500.00 ms" + dot + "40.0 BPM";
    QTest::newRow("21") << "standard" << 21 << QStringList{range} << 1 << "1500 ms\n40 bpm"
                        << "1500.00 ms" + dot + "40.0 BPM";
    QTest::newRow("0") << "standard" << 0 << QStringList{range} << 1 << "1500 ms\n40 bpm"
                       << "1500.00 ms" + dot + "40.0 BPM";
    QTest::newRow("-3") << "standard" << -3 << QStringList{range} << 1 << "1500 ms\n40 bpm"
                        << "1500.00 ms" + dot + "40.0 BPM";
    QTest::newRow("rhythm") << "rhythm" << 3 << QStringList{kind} << 1 << "1500 ms\n40 bpm"
                            << "1500.00 ms" + dot + "40.0 BPM";
    QTest::newRow("qtc") << "qtc" << 3 << QStringList{kind} << 1 << kQtcLabel
                         << "QT 1500.00 ms; QTc requires RR";
    QTest::newRow("reference") << "reference" << 3 << QStringList{kind} << 1
                               << "Ref: 1000 ms\n(150 px)"
                               << "1000 ms reference";
    QTest::newRow("unknown id") << "" << 3 << QStringList() << 1 << ""
                                << "";
}

void TestOverlayController::intervalCount()
{
    QFETCH(QString, kind);
    QFETCH(int, count);
    QFETCH(QStringList, events);
    QFETCH(int, stored);
    QFETCH(QString, label);
    QFETCH(QString, result);

    OverlayController c;
    add(c, "reference", 100);
    // A Reference caliper replaces the first one: it is then the reference itself.
    const quint64 id = kind.isEmpty() ? 99 : add(c, kind, 150);
    Recorder rec(c);
    const Snapshot before = snapshot(c);
    QCOMPARE(c.setIntervalCount(id, count), stored == count && !kind.isEmpty());
    QCOMPARE(rec.take(), events);
    if (kind.isEmpty()) {
        QCOMPARE(difference(snapshot(c), before), QString());
        return;
    }
    if (stored == 1)
        QCOMPARE(difference(snapshot(c), before), QString());
    QVariantMap row = rowOf(c, id);
    QCOMPARE(row.value("intervalCount").toInt(), stored);
    QCOMPARE(row.value("overlayLabel").toString(), label);
    QCOMPARE(row.value("result").toString(), result);

    // The count stays with the caliper through drags, keys and a smaller display.
    QVERIFY(c.updateMeasurementGeometry(id, 400, 550, 300));
    c.setSelectedId(id);
    c.nudgeSelected(1);
    c.keepInsideDisplay(QStringLiteral("A"), 500, 400);
    row = rowOf(c, id);
    QCOMPARE(row.value("intervalCount").toInt(), stored);
    QCOMPARE(row.value("endX").toDouble(), 500.0);
}

// The RR taken from a caliper. On display A: a 1000 ms reference drawn 200 px
// wide (1), Standard calipers of 160 px (2, 800 ms) and 100 px (6, 500 ms), the
// QT/QTc caliper (3) and a Rhythm caliper (5); on display B a Standard caliper (4).
void TestOverlayController::rrSource_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<quint64>("source");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("picking");
    QTest::addColumn<QStringList>("messages");

    const QString pick = QStringLiteral("Press a Standard caliper to take the RR from it.");
    const QString needsRef
        = QStringLiteral("Draw a reference on that caliper's display to take the RR from it.");
    const QString removed
        = QStringLiteral("RR from caliper ended: its caliper was removed. Enter the RR again.");
    const QString lost = QStringLiteral(
        "RR from caliper ended: its caliper has no reference on its display. Enter the RR again.");
    const QString gone = QStringLiteral("RR from caliper ended: its caliper's display changed or "
                                        "was removed. Enter the RR again.");
    auto row = [](const char *name, const QStringList &steps, quint64 source, const QString &text,
                  bool picking, const QStringList &messages) {
        QTest::newRow(name) << steps << source << text << picking << messages;
    };
    row("linked", {"link 2"}, 2, "800", false, {});
    row("picked, then linked", {"pick", "link 2"}, 2, "800", false, {pick});
    row("picking twice says it once", {"pick", "pick"}, 0, "", true, {pick});
    row("no reference on its display", {"pick", "link 4"}, 0, "", true, {pick, needsRef});
    row("a rhythm caliper", {"link 5"}, 0, "", false, {pick});
    row("the QT/QTc caliper", {"link 3"}, 0, "", false, {pick});
    row("the reference", {"link 1"}, 0, "", false, {pick});
    row("an unknown caliper", {"link 42"}, 0, "", false, {});
    row("refused, the link stays", {"link 2", "link 4"}, 2, "800", false, {needsRef});
    row("another caliper", {"link 2", "link 6"}, 6, "500", false, {});
    row("the mean of 4", {"link 2", "count 2 4"}, 2, "200", false, {});
    row("counted before", {"count 2 3", "link 2"}, 2, "267", false, {});
    row("follows a drag", {"link 2", "preview 2 100"}, 2, "500", false, {});
    row("a drag of another caliper", {"link 2", "preview 6 300"}, 2, "800", false, {});
    row("linked during its drag", {"preview 2 120", "link 2"}, 2, "600", false, {});
    row("a drag that ends unstored", {"link 2", "preview 2 100", "unpreview"}, 2, "800", false, {});
    row("a drag stored", {"link 2", "preview 2 100", "store 2 100", "unpreview"}, 2, "500", false,
        {});
    row("a drag refused", {"link 2", "preview 2 5", "store 2 5", "unpreview"}, 2, "800", false,
        {kMustRemain});
    row("the reference resized", {"link 2", "store 1 100"}, 2, "1600", false, {});
    row("the reference's duration", {"link 2", "duration 500"}, 2, "400", false,
        {QStringLiteral("Reference: 500 ms")});
    row("its caliper removed", {"link 2", "remove 2"}, 0, "", false, {removed});
    row("its caliper removed while dragged", {"link 2", "preview 2 100", "remove 2"}, 0, "", false,
        {removed});
    row("the reference removed", {"link 2", "remove 1"}, 0, "", false, {lost});
    row("a reference on another display", {"link 2", "reference B"}, 0, "", false, {lost});
    row("its display invalidated", {"link 2", "invalidate A"}, 0, "", false,
        {kDisplayChanged, gone});
    row("another display invalidated", {"link 2", "invalidate B"}, 2, "800", false, {});
    row("ended by the user", {"link 2", "end"}, 0, "", false, {});
    row("picking ended by the user", {"pick", "end"}, 0, "", false, {pick});
    row("picking given up", {"pick", "unpick"}, 0, "", false, {pick});
    row("Clear All", {"link 2", "clear"}, 0, "", false, {});
    row("the QT/QTc caliper replaced", {"link 2", "qtc"}, 0, "", false, {});
    row("the QT/QTc caliper removed", {"link 2", "remove 3"}, 0, "", false, {});
}

void TestOverlayController::rrSource()
{
    QFETCH(QStringList, steps);
    QFETCH(quint64, source);
    QFETCH(QString, text);
    QFETCH(bool, picking);
    QFETCH(QStringList, messages);

    OverlayController c;
    const QStringList colours{"#000001", "#000002", "#000003", "#000004", "#000005", "#000006"};
    auto put = [&c, &colours](const QString &kind, double width, const QString &display) {
        const quint64 id = c.addMeasurement(kind, display, 96, 1, 100, 100 + width, 300,
                                            colours.value(int(c.m_model.nextId()) - 1), 1000);
        QVERIFY(id != 0);
    };
    put("reference", 200, "A");
    put("standard", 160, "A");
    put("qtc", 80, "A");
    put("standard", 100, "B");
    put("rhythm", 90, "A");
    put("standard", 100, "A");
    QStringList said;
    connect(&c, &OverlayController::transientMessage, this,
            [&said](const QString &m) { said << m; });
    RrSourceLink *link = c.rrSource();
    QVERIFY(link);
    QCOMPARE(c.property("rrSource").value<RrSourceLink *>(), link);
    QSignalSpy changes(link, &RrSourceLink::changed);

    for (const QString &step : std::as_const(steps)) {
        const QStringList w = step.split(QLatin1Char(' '));
        const quint64 id = w.value(1).toULongLong();
        if (w[0] == "pick") {
            c.setRrPicking(true);
        } else if (w[0] == "unpick") {
            c.setRrPicking(false);
        } else if (w[0] == "link") {
            c.linkRrSource(id);
        } else if (w[0] == "count") {
            QVERIFY(c.setIntervalCount(id, w[2].toInt()));
        } else if (w[0] == "preview") {
            c.setDragPreview(id, w[2].toDouble());
        } else if (w[0] == "unpreview") {
            c.clearDragPreview();
        } else if (w[0] == "store") {
            c.updateMeasurementGeometry(id, 100, 100 + w[2].toDouble(), 300);
        } else if (w[0] == "duration") {
            c.setReferenceDuration(w[1].toDouble());
        } else if (w[0] == "remove") {
            c.setSelectedId(id);
            c.removeSelected();
        } else if (w[0] == "reference") {
            put("reference", 100, w[1]);
        } else if (w[0] == "invalidate") {
            c.handleDisplayInvalidated(w[1]);
        } else if (w[0] == "end") {
            c.endRrLink();
        } else if (w[0] == "clear") {
            c.clear();
        } else if (w[0] == "qtc") {
            put("qtc", 80, "A");
        } else {
            QFAIL(qPrintable(step));
        }
    }
    QCOMPARE(link->caliperId(), source);
    QCOMPARE(link->text(), text);
    QCOMPARE(link->picking(), picking);
    QCOMPARE(said, messages);
    QCOMPARE(link->color(), source ? colours.value(int(source) - 1) : QString());
    if (source != 0)
        QCOMPARE(QString::number(std::round(link->intervalMs())), text);
    else
        QCOMPARE(link->intervalMs(), 0.0);
    // Every change was announced, and only a change.
    QVERIFY(changes.count() <= steps.size() + 1);
    if (source != 0 || picking)
        QVERIFY(changes.count() > 0);
}

void TestOverlayController::qtFlags_data()
{
    QTest::addColumn<QStringList>("setup"); // kind@display@dpi
    QTest::addColumn<bool>("hasQt");
    QTest::addColumn<bool>("needsReference");

    QTest::newRow("nothing") << QStringList() << false << false;
    QTest::newRow("standard only") << QStringList{"standard@A@96"} << false << false;
    QTest::newRow("reference only") << QStringList{"reference@A@96"} << false << false;
    QTest::newRow("qtc without reference") << QStringList{"qtc@A@96"} << true << true;
    QTest::newRow("qtc with reference")
        << QStringList{"reference@A@96", "qtc@A@96"} << true << false;
    QTest::newRow("qtc on another display")
        << QStringList{"reference@A@96", "qtc@B@96"} << true << true;
    QTest::newRow("qtc at another scale")
        << QStringList{"reference@A@96", "qtc@A@120"} << true << true;
    QTest::newRow("scale within tolerance")
        << QStringList{"reference@A@96", "qtc@A@96.0000000001"} << true << false;
}

void TestOverlayController::qtFlags()
{
    QFETCH(QStringList, setup);
    QFETCH(bool, hasQt);
    QFETCH(bool, needsReference);
    OverlayController c;
    for (const QString &item : setup) {
        const QStringList parts = item.split('@');
        QVERIFY(add(c, parts[0], 100, parts[1], parts[2].toDouble()) != 0);
    }
    QCOMPARE(c.hasQtMeasurement(), hasQt);
    QCOMPARE(c.qtNeedsReference(), needsReference);
    QCOMPARE(c.property("hasQtMeasurement").toBool(), hasQt);
    QCOMPARE(c.property("qtNeedsReference").toBool(), needsReference);
}

void TestOverlayController::qtMeasurementId_data()
{
    QTest::addColumn<QStringList>("setup");
    QTest::addColumn<quint64>("select");
    QTest::addColumn<QString>("command");
    QTest::addColumn<quint64>("after");
    QTest::addColumn<QStringList>("qtEvents");

    // setup: calipers 1..n, 100 px on "A"; the same-kind replacement and Clear
    // All are in their own tests above.
    QTest::newRow("first qtc") << QStringList{"standard"} << quint64(0) << "add qtc" << quint64(2)
                               << QStringList{qt(2)};
    QTest::newRow("standard beside it")
        << QStringList{"qtc"} << quint64(0) << "add standard" << quint64(1) << QStringList();
    QTest::newRow("qtc removed") << QStringList{"qtc", "standard"} << quint64(1) << "remove"
                                 << quint64(0) << QStringList{qt(0)};
    QTest::newRow("another removed")
        << QStringList{"qtc", "standard"} << quint64(2) << "remove" << quint64(1) << QStringList();
    QTest::newRow("qtc dragged") << QStringList{"qtc"} << quint64(0) << "drag" << quint64(1)
                                 << QStringList();
    QTest::newRow("its display changed scale") << QStringList{"reference", "qtc"} << quint64(0)
                                               << "invalidate" << quint64(2) << QStringList();
    QTest::newRow("its display shrank")
        << QStringList{"qtc"} << quint64(0) << "shrink" << quint64(1) << QStringList();
}

void TestOverlayController::qtMeasurementId()
{
    QFETCH(QStringList, setup);
    QFETCH(quint64, select);
    QFETCH(QString, command);
    QFETCH(quint64, after);
    QFETCH(QStringList, qtEvents);

    OverlayController c;
    for (const QString &k : setup)
        QVERIFY(add(c, k, 100) != 0);
    if (select)
        c.setSelectedId(select);
    Recorder rec(c);
    if (command.startsWith(QLatin1String("add ")))
        QVERIFY(add(c, command.mid(4), 100) != 0);
    else if (command == QLatin1String("remove"))
        c.removeSelected();
    else if (command == QLatin1String("drag"))
        QVERIFY(c.updateMeasurementGeometry(1, 200, 260, 40));
    else if (command == QLatin1String("invalidate"))
        c.handleDisplayInvalidated(QStringLiteral("A"));
    else if (command == QLatin1String("shrink"))
        c.keepInsideDisplay(QStringLiteral("A"), 150, 150);
    QStringList seen;
    for (const QString &event : rec.take()) {
        if (event.startsWith(QLatin1String("qt:")))
            seen << event;
    }
    QCOMPARE(seen, qtEvents);
    QCOMPARE(c.qtMeasurementId(), after);
}

void TestOverlayController::rows_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<double>("width");
    QTest::addColumn<QString>("display");
    QTest::addColumn<double>("dpi");
    QTest::addColumn<double>("dpr");
    QTest::addColumn<QString>("result");
    QTest::addColumn<QString>("overlayLabel");
    QTest::addColumn<bool>("activeReference");
    QTest::addColumn<bool>("referenceMatches");
    QTest::addColumn<double>("referenceWidth");
    QTest::addColumn<double>("referenceDuration");

    // Scenarios: "ref" = a 100 px reference for 1000 ms on "A" at 96 DPI, ratio 1, then the
    // caliper under test; "self" = that reference itself; "inactive" = a Reference caliper
    // of the given width, then a 100 px standard made the 1000 ms reference; "none" = the
    // caliper alone; "dropped" = a Reference caliper whose display was invalidated;
    // "hugeRef" = a reference of the largest width for 25 ms, then the caliper.
    const QString dot = QStringLiteral("\u00B7");
    auto row
        = [](const char *name, const QString &scenario, const QString &kind, double width,
             const QString &display, double dpi, double dpr, const QString &result,
             const QString &label, bool active, bool matches, double refWidth, double refDuration) {
              QTest::newRow(name) << scenario << kind << width << display << dpi << dpr << result
                                  << label << active << matches << refWidth << refDuration;
          };
    row("standard 50 px", "ref", "standard", 50, "A", 96, 1, "500.00 ms " + dot + " 120.0 BPM",
        "500 ms\n120 bpm", false, true, 100, 1000);
    row("rhythm 33 px", "ref", "rhythm", 33, "A", 96, 1, "330.00 ms " + dot + " 181.8 BPM",
        "330 ms\n182 bpm", false, true, 100, 1000);
    row("rhythm 33 px at 120 DPI", "ref", "rhythm", 33, "A", 120, 1, kMismatch, "33 px", false,
        false, 100, 1000);
    row("standard on another display", "ref", "standard", 50, "B", 96, 1, kMismatch, "50 px", false,
        false, 100, 1000);
    row("standard at ratio 2", "ref", "standard", 50, "A", 96, 2, kMismatch, "50 px", false, false,
        100, 1000);
    row("display differs in case", "ref", "standard", 50, "a", 96, 1, kMismatch, "50 px", false,
        false, 100, 1000);
    row("qtc 40 px", "ref", "qtc", 40, "A", 96, 1, "QT 400.00 ms; QTc requires RR", kQtcLabel,
        false, true, 100, 1000);
    row("qtc at another scale", "ref", "qtc", 40, "A", 120, 1, kMismatch, kQtcLabel, false, false,
        100, 1000);
    row("the reference itself", "self", "reference", 100, "A", 96, 1, "1000 ms reference",
        "Ref: 1000 ms\n(100 px)", true, true, 100, 1000);
    row("inactive reference 120.5 px", "inactive", "reference", 120.5, "A", 96, 1, kInactive,
        "121 px", false, true, 100, 1000);
    row("inactive reference on another display", "inactive", "reference", 120.5, "B", 96, 1,
        kInactive, "121 px", false, false, 100, 1000);
    row("10.5 px", "ref", "standard", 10.5, "A", 96, 1, "105.00 ms " + dot + " 571.4 BPM",
        "105 ms\n571 bpm", false, true, 100, 1000);
    row("half rounds away from zero", "ref", "standard", 10.25, "A", 96, 1,
        "102.50 ms " + dot + " 585.4 BPM", "103 ms\n585 bpm", false, true, 100, 1000);
    row("large but finite", "ref", "standard", 1e6, "A", 96, 1,
        "10000000.00 ms " + dot + " 0.0 BPM", "1e+07 ms\n0 bpm", false, true, 100, 1000);
    row("interval overflows", "ref", "standard", 1e307, "A", 96, 1, kInvalidWidth, "1e+307 px",
        false, true, 100, 1000);
    row("qtc interval overflows", "ref", "qtc", 1e307, "A", 96, 1, kInvalidWidth, kQtcLabel, false,
        true, 100, 1000);
    row("rate overflows", "hugeRef", "standard", 11, "A", 96, 1, kInvalidWidth, "11 px", false,
        true, 1.7e308, 25);
    row("standard 100.4 px", "none", "standard", 100.4, "A", 96, 1, kMissingReference, "100 px",
        false, false, 0, 0);
    row("qtc without reference", "none", "qtc", 40, "A", 96, 1, kMissingReference, kQtcLabel, false,
        false, 0, 0);
    row("99.5 px", "none", "rhythm", 99.5, "A", 96, 1, kMissingReference, "100 px", false, false, 0,
        0);
    row("100.4999 px", "none", "rhythm", 100.4999, "A", 96, 1, kMissingReference, "100 px", false,
        false, 0, 0);
    row("120.5 px", "none", "standard", 120.5, "A", 96, 1, kMissingReference, "121 px", false,
        false, 0, 0);
    row("one million px", "none", "standard", 1e6, "A", 96, 1, kMissingReference, "1e+06 px", false,
        false, 0, 0);
    row("reference alone after invalidation", "dropped", "reference", 80, "A", 96, 1, kInactive,
        "80 px", false, false, 0, 0);
}

void TestOverlayController::rows()
{
    QFETCH(QString, scenario);
    QFETCH(QString, kind);
    QFETCH(double, width);
    QFETCH(QString, display);
    QFETCH(double, dpi);
    QFETCH(double, dpr);
    QFETCH(QString, result);
    QFETCH(QString, overlayLabel);
    QFETCH(bool, activeReference);
    QFETCH(bool, referenceMatches);
    QFETCH(double, referenceWidth);
    QFETCH(double, referenceDuration);

    OverlayController c;
    quint64 id = 0;
    if (scenario == "ref") {
        QCOMPARE(add(c, "reference", 100), 1u);
        id = add(c, kind, width, display, dpi, dpr);
    } else if (scenario == "self") {
        id = add(c, "reference", 100);
    } else if (scenario == "inactive") {
        id = add(c, "reference", width, display, dpi, dpr);
        const quint64 standard = add(c, "standard", 100);
        c.setActiveReference(standard, 1000);
        QCOMPARE(referenceId(c), standard);
    } else if (scenario == "none") {
        id = add(c, kind, width, display, dpi, dpr);
    } else if (scenario == "dropped") {
        id = add(c, kind, width, display, dpi, dpr);
        c.handleDisplayInvalidated(display);
    } else if (scenario == "hugeRef") {
        QCOMPARE(add(c, "reference", 1.7e308, "A", 96, 1, 25), 1u);
        id = add(c, kind, width, display, dpi, dpr);
    }
    QVERIFY(id != 0);

    const QVariantMap row = rowOf(c, id);
    QCOMPARE(row.value("result").toString(), result);
    QCOMPARE(row.value("overlayLabel").toString(), overlayLabel);
    QCOMPARE(row.value("activeReference").toBool(), activeReference);
    QCOMPARE(row.value("referenceMatches").toBool(), referenceMatches);
    QCOMPARE(row.value("referenceWidth").toDouble(), std::fabs((100.0 + referenceWidth) - 100.0));
    QCOMPARE(row.value("referenceDuration").toDouble(), referenceDuration);
    QCOMPARE(row.value("rawWidth").toDouble(), std::fabs((100.0 + width) - 100.0));
    QCOMPARE(row.value("displayId").toString(), display);
    QCOMPARE(row.value("logicalDpi").toDouble(), dpi);
    QCOMPARE(row.value("devicePixelRatio").toDouble(), dpr);
    QCOMPARE(row.value("id").toULongLong(), id);
    QCOMPARE(row.value("kind").toString(),
             OverlayController::kindLabel(OverlayController::kindFromString(kind)));

    // The rows of the lists are the same rows.
    QVERIFY(c.measurements().contains(row));
    QVERIFY(c.measurementsForDisplay(display).contains(row));
}

void TestOverlayController::rowKeysAndTypes()
{
    OverlayController c;
    QCOMPARE(c.addMeasurement("rhythm", "DISPLAY-1", 96, 1.25, 40, 10, 77, "#2dd4bf", 0), 1u);
    const QVariantList rows = c.measurements();
    QCOMPARE(rows.size(), 1);
    QVERIFY(rows.first().metaType() == QMetaType::fromType<QVariantMap>());
    const QVariantMap row = rows.first().toMap();

    const QList<std::pair<QString, QMetaType>> expected{
        {"id", QMetaType::fromType<quint64>()},
        {"kind", QMetaType::fromType<QString>()},
        {"displayId", QMetaType::fromType<QString>()},
        {"logicalDpi", QMetaType::fromType<double>()},
        {"devicePixelRatio", QMetaType::fromType<double>()},
        {"rawWidth", QMetaType::fromType<double>()},
        {"startX", QMetaType::fromType<double>()},
        {"endX", QMetaType::fromType<double>()},
        {"y", QMetaType::fromType<double>()},
        {"color", QMetaType::fromType<QString>()},
        {"activeReference", QMetaType::fromType<bool>()},
        {"referenceMatches", QMetaType::fromType<bool>()},
        {"referenceWidth", QMetaType::fromType<double>()},
        {"referenceDuration", QMetaType::fromType<double>()},
        {"overlayLabel", QMetaType::fromType<QString>()},
        {"result", QMetaType::fromType<QString>()},
        {"intervalCount", QMetaType::fromType<int>()},
    };
    QCOMPARE(row.size(), expected.size());
    for (const auto &[key, type] : expected) {
        QVERIFY2(row.contains(key), qPrintable(key));
        QVERIFY2(row.value(key).metaType() == type, qPrintable(key));
    }
    QCOMPARE(row.value("id").toULongLong(), 1u);
    QCOMPARE(row.value("kind").toString(), QStringLiteral("Rhythm"));
    QCOMPARE(row.value("displayId").toString(), QStringLiteral("DISPLAY-1"));
    QCOMPARE(row.value("devicePixelRatio").toDouble(), 1.25);
    QCOMPARE(row.value("rawWidth").toDouble(), 30.0);
    QCOMPARE(row.value("startX").toDouble(), 40.0);
    QCOMPARE(row.value("endX").toDouble(), 10.0);
    QCOMPARE(row.value("y").toDouble(), 77.0);
    QCOMPARE(row.value("color").toString(), QStringLiteral("#2dd4bf"));
    QCOMPARE(row.value("referenceWidth").toDouble(), 0.0);
    QCOMPARE(row.value("result").toString(), kMissingReference);
    QCOMPARE(row.value("overlayLabel").toString(), QStringLiteral("30 px"));
    QCOMPARE(row.value("intervalCount").toInt(), 1);

    // A caliper without geometry (not reachable through the commands) reads as zeros.
    c.m_visuals.clear();
    const QVariantMap bare = rowOf(c, 1);
    QCOMPARE(bare.value("startX").toDouble(), 0.0);
    QCOMPARE(bare.value("endX").toDouble(), 0.0);
    QCOMPARE(bare.value("y").toDouble(), 0.0);
    QCOMPARE(bare.value("rawWidth").toDouble(), 30.0);
}

void TestOverlayController::lists()
{
    OverlayController c;
    QCOMPARE(add(c, "standard", 50, "A"), 1u);
    QCOMPARE(add(c, "rhythm", 60, "B"), 2u);
    QCOMPARE(add(c, "reference", 100, "A", 96, 1, 250), 3u);
    QCOMPARE(add(c, "qtc", 40, "B"), 4u);
    QCOMPARE(add(c, "standard", 70, "A"), 5u);

    auto rowIds = [](const QVariantList &rows) {
        QList<quint64> result;
        for (const QVariant &row : rows)
            result << row.toMap().value("id").toULongLong();
        return result;
    };
    QCOMPARE(rowIds(c.measurements()), (QList<quint64>{1, 2, 3, 4, 5}));
    QCOMPARE(rowIds(c.property("measurements").toList()), (QList<quint64>{1, 2, 3, 4, 5}));
    QCOMPARE(rowIds(c.measurementsForDisplay("A")), (QList<quint64>{1, 3, 5}));
    QCOMPARE(rowIds(c.measurementsForDisplay("B")), (QList<quint64>{2, 4}));
    QVERIFY(c.measurementsForDisplay("a").isEmpty());
    QVERIFY(c.measurementsForDisplay("A ").isEmpty());
    QVERIFY(c.measurementsForDisplay("").isEmpty());
    QVERIFY(c.measurementsForDisplay("C").isEmpty());

    const QVariantList choices = c.property("referenceChoices").toList();
    QCOMPARE(choices.size(), 1);
    const QVariantMap choice = choices.first().toMap();
    QCOMPARE(choice.size(), 2);
    QVERIFY(choice.value("id").metaType() == QMetaType::fromType<quint64>());
    QCOMPARE(choice.value("id").toULongLong(), 3u);
    QCOMPARE(choice.value("label").toString(), QStringLiteral("Reference #3 \u2014 250 ms"));
    QCOMPARE(rowOf(c, 3).value("result").toString(), QStringLiteral("250 ms reference"));

    c.setReferenceDuration(25);
    QCOMPARE(c.referenceChoices().first().toMap().value("label").toString(),
             QStringLiteral("Reference #3 \u2014 25 ms"));

    c.clear();
    QVERIFY(c.measurements().isEmpty());
    QVERIFY(c.referenceChoices().isEmpty());
    QVERIFY(c.measurementsForDisplay("A").isEmpty());
}

QString TestOverlayController::invariantViolation(const OverlayController &c)
{
    const auto &calipers = c.m_model.calipers();
    const auto &reference = c.m_model.reference();
    if (c.m_visuals.size() != qsizetype(calipers.size()))
        return QStringLiteral("%1 visuals for %2 calipers")
            .arg(c.m_visuals.size())
            .arg(calipers.size());

    int referenceKinds = 0;
    int qtcKinds = 0;
    bool qtNeedsReference = false;
    for (const zrn::Caliper &caliper : calipers) {
        const auto it = c.m_visuals.constFind(caliper.id);
        if (it == c.m_visuals.cend() || it->id != caliper.id)
            return QStringLiteral("no visuals entry for %1").arg(caliper.id);
        if (it->displayId != QString::fromStdString(caliper.display.stableId)
            || it->color != QString::fromStdString(caliper.color))
            return QStringLiteral("entry %1 disagrees with its caliper").arg(caliper.id);
        if (std::fabs(it->endX - it->startX) != caliper.width)
            return QStringLiteral("entry %1: |endX - startX| is not the width").arg(caliper.id);
        if (!std::isfinite(it->startX) || !std::isfinite(it->endX) || !std::isfinite(it->y))
            return QStringLiteral("entry %1 holds a coordinate that is not finite").arg(caliper.id);
        if (caliper.kind == zrn::CaliperKind::Reference)
            ++referenceKinds;
        if (caliper.kind == zrn::CaliperKind::Qtc) {
            ++qtcKinds;
            if (!reference || !caliper.display.safelyMatches(reference->display))
                qtNeedsReference = true;
        }
    }
    if (referenceKinds > 1 || qtcKinds > 1)
        return QStringLiteral("more than one Reference or QT/QTc caliper");
    if (c.hasQtMeasurement() != (qtcKinds > 0) || c.qtNeedsReference() != qtNeedsReference)
        return QStringLiteral("QT flags wrong");

    // Every row's texts follow from the model's measurement.
    const QVariantList rows = c.measurements();
    if (rows.size() != qsizetype(calipers.size()))
        return QStringLiteral("row count");
    qsizetype perDisplay = 0;
    QSet<QString> displays;
    for (std::size_t i = 0; i < calipers.size(); ++i) {
        const zrn::Caliper &caliper = calipers[i];
        const QVariantMap row = rows.at(qsizetype(i)).toMap();
        const bool active = reference && reference->caliperId == caliper.id;
        QString result;
        QString label;
        if (caliper.kind == zrn::CaliperKind::Reference) {
            const QString duration
                = QString::number(reference ? reference->durationMs : 0, 'g', 15);
            result = active ? duration + QStringLiteral(" ms reference") : kInactive;
            label = active ? QStringLiteral("Ref: ") + duration + QStringLiteral(" ms\n(")
                                 + pixels(caliper.width) + QLatin1Char(')')
                           : pixels(caliper.width);
        } else {
            const zrn::MeasurementResult m = c.m_model.measure(caliper.id);
            const bool ok = m.error == zrn::MeasurementError::NoError;
            const QString error = OverlayController::errorLabel(m.error);
            if (caliper.kind == zrn::CaliperKind::Qtc) {
                result = ok ? QStringLiteral("QT ") + QString::number(m.intervalMs, 'f', 2)
                                  + QStringLiteral(" ms; QTc requires RR")
                            : error;
                label = kQtcLabel;
            } else {
                result = ok ? QString::number(m.intervalMs, 'f', 2) + QStringLiteral(" ms \u00B7 ")
                                  + QString::number(m.rateBpm, 'f', 1) + QStringLiteral(" BPM")
                            : error;
                label = ok ? whole(m.intervalMs) + QStringLiteral(" ms\n") + whole(m.rateBpm)
                                 + QStringLiteral(" bpm")
                           : pixels(caliper.width);
            }
        }
        if (row.value("id").toULongLong() != caliper.id || row.value("result").toString() != result
            || row.value("overlayLabel").toString() != label)
            return QStringLiteral("row %1 texts: '%2' / '%3'")
                .arg(caliper.id)
                .arg(row.value("result").toString(), row.value("overlayLabel").toString());
        for (const QString &text : {result, label}) {
            if (text.contains(QLatin1String("inf")) || text.contains(QLatin1String("nan"))
                || text.contains(QLatin1Char(',')))
                return QStringLiteral("row %1 shows '%2'").arg(caliper.id).arg(text);
        }
        const auto it = c.m_visuals.constFind(caliper.id);
        if (row.value("startX").toDouble() != it->startX || row.value("endX").toDouble() != it->endX
            || row.value("y").toDouble() != it->y
            || row.value("rawWidth").toDouble() != caliper.width
            || row.value("activeReference").toBool() != active
            || row.value("referenceMatches").toBool()
                   != (reference && caliper.display.safelyMatches(reference->display)))
            return QStringLiteral("row %1 values").arg(caliper.id);
        displays.insert(QString::fromStdString(caliper.display.stableId));
    }
    for (const QString &display : displays)
        perDisplay += c.measurementsForDisplay(display).size();
    if (perDisplay != rows.size())
        return QStringLiteral("per-display rows do not add up");
    if (c.referenceChoices().size() != (reference ? 1 : 0))
        return QStringLiteral("reference choices");
    return {};
}

void TestOverlayController::randomizedSequence()
{
    OverlayController c;
    Recorder rec(c);
    std::mt19937_64 rng(0x5eed2024u);
    // Portable draws: only the raw engine output is standardised.
    auto below = [&rng](std::uint64_t n) { return rng() % n; };
    auto uniform = [&rng](double lo, double hi) {
        return lo + (hi - lo) * (double(rng() >> 11) / double(std::uint64_t(1) << 53));
    };
    const double specials[] = {kNaN,        kInf,  -kInf,  1e308, -1e308, kMaxDouble,
                               -kMaxDouble, 1e307, 1e-320, 0.0,   -0.0,   10.0};
    auto special = [&] { return specials[below(std::size(specials))]; };
    auto coordinate = [&] { return below(20) == 0 ? special() : uniform(-500.0, 3000.0); };
    auto endFor = [&](double start) {
        switch (below(10)) {
        case 0:
            return special();
        case 1:
            return start + uniform(-12.0, 12.0);
        case 2:
            return uniform(-500.0, 3000.0);
        default:
            return start + (below(2) ? 1.0 : -1.0) * uniform(5.0, 400.0);
        }
    };
    const double durations[] = {25, 50, 100, 200, 250, 400, 500, 1000, 1000, 1000, 300, kNaN, 0};
    auto duration = [&] { return durations[below(std::size(durations))]; };
    const QString kinds[] = {"standard", "rhythm", "reference", "qtc", "Rhythm", ""};
    const QString displayIds[] = {"A", "A", "A", "B", "C", ""};
    const double dpis[] = {96, 96, 96, 120, kNaN, kInf};
    const double ratios[] = {1, 1, 1, 2, kNaN};
    auto anyId = [&](const Snapshot &s) -> quint64 {
        if (!s.calipers.empty() && below(4) != 0)
            return s.calipers[below(s.calipers.size())].id;
        const quint64 unknown[] = {0, s.nextId, s.nextId + 7, std::numeric_limits<quint64>::max()};
        return unknown[below(std::size(unknown))];
    };

    int accepted = 0;
    int refused = 0;
    int overflowing = 0; // rows whose measurement does not fit in a double
    for (int step = 0; step < 5000; ++step) {
        const Snapshot before = snapshot(c);
        rec.events.clear();
        QString what;
        std::optional<Snapshot> expected; // when set, the state after the command must equal it
        QStringList expectedEvents;

        const std::uint64_t command = below(100);
        if (command < 35) {
            const QString kind = kinds[below(std::size(kinds))];
            const QString display = displayIds[below(std::size(displayIds))];
            const double dpi = dpis[below(std::size(dpis))];
            const double dpr = ratios[below(std::size(ratios))];
            const double startX = coordinate();
            const double endX = endFor(startX);
            const double y = coordinate();
            const double ms = duration();
            what = QStringLiteral("add %1 %2 %3 %4 %5..%6 y %7 %8 ms")
                       .arg(kind, display)
                       .arg(dpi)
                       .arg(dpr)
                       .arg(startX)
                       .arg(endX)
                       .arg(y)
                       .arg(ms);
            const quint64 id
                = c.addMeasurement(kind, display, dpi, dpr, startX, endX, y, "#f97316", ms);
            const zrn::CaliperKind k = OverlayController::kindFromString(kind);
            const bool replaces = (k == zrn::CaliperKind::Reference || k == zrn::CaliperKind::Qtc)
                                  && std::isfinite(y);
            Snapshot after = replaces ? withoutKind(before, k) : before;
            const bool removedAny = after.calipers.size() != before.calipers.size();
            QStringList lead;
            if (before.selectedId != 0 && after.selectedId == 0)
                lead << sel(0);
            if (id == 0) {
                ++refused;
                const bool durationRefused
                    = !rec.events.isEmpty() && rec.events.contains(msg(kUnsupportedDuration));
                if (durationRefused)
                    ++after.nextId;
                expected = after;
                expectedEvents = lead;
                expectedEvents << msg(durationRefused ? kUnsupportedDuration : kTooNarrow);
                if (removedAny)
                    expectedEvents << kChanged;
            } else {
                ++accepted;
                QCOMPARE(id, before.nextId);
                after.calipers.push_back(*c.m_model.find(id));
                after.visuals.insert(id, {id, display, startX, endX, y, "#f97316"});
                after.nextId = id + 1;
                after.selectedId = id;
                if (k == zrn::CaliperKind::Reference) {
                    QVERIFY(c.m_model.reference());
                    QCOMPARE(c.m_model.reference()->caliperId, id);
                    after.reference = c.m_model.reference();
                }
                QCOMPARE(std::fabs(endX - startX), c.m_model.find(id)->width);
                expected = after;
                // The selection may already name the id that the new caliper receives.
                if (before.selectedId != id)
                    lead << sel(id);
                expectedEvents = lead << kChanged;
            }
        } else if (command < 55) {
            const quint64 id = anyId(before);
            const double startX = coordinate();
            const double endX = endFor(startX);
            const double y = coordinate();
            what = QStringLiteral("geometry %1 %2..%3 y %4").arg(id).arg(startX).arg(endX).arg(y);
            const bool known = before.visuals.contains(id);
            if (c.updateMeasurementGeometry(id, startX, endX, y)) {
                ++accepted;
                Snapshot after = before;
                after.visuals[id].startX = startX;
                after.visuals[id].endX = endX;
                after.visuals[id].y = y;
                for (zrn::Caliper &caliper : after.calipers) {
                    if (caliper.id == id)
                        caliper.width = std::fabs(endX - startX);
                }
                if (after.reference && after.reference->caliperId == id)
                    after.reference->widthPx = std::fabs(endX - startX);
                expected = after;
                expectedEvents = {kChanged};
            } else {
                ++refused;
                expected = before;
                if (known)
                    expectedEvents = {msg(kMustRemain)};
            }
        } else if (command < 65) {
            const double steps[] = {1, -1, 5, -5, 20, -20, -150, -400, kNaN, kInf, 1e308, -1e308};
            const double px = steps[below(std::size(steps))];
            what = QStringLiteral("nudge %1").arg(px);
            c.nudgeSelected(px);
            if (rec.events == QStringList{kChanged}) {
                ++accepted;
                Snapshot after = before;
                auto &v = after.visuals[before.selectedId];
                v.endX = v.endX >= v.startX ? v.endX + px : v.endX - px;
                for (zrn::Caliper &caliper : after.calipers) {
                    if (caliper.id == before.selectedId)
                        caliper.width = std::fabs(v.endX - v.startX);
                }
                if (after.reference && after.reference->caliperId == before.selectedId)
                    after.reference->widthPx = std::fabs(v.endX - v.startX);
                expected = after;
                expectedEvents = {kChanged};
            } else {
                ++refused;
                expected = before;
                expectedEvents = {
                    msg(before.visuals.contains(before.selectedId) ? kMustRemain : kSelectFirst)};
            }
        } else if (command < 70) {
            what = QStringLiteral("remove selected %1").arg(before.selectedId);
            c.removeSelected();
            if (before.visuals.contains(before.selectedId)) {
                ++accepted;
                Snapshot after = before;
                std::erase_if(after.calipers, [&](const zrn::Caliper &caliper) {
                    return caliper.id == before.selectedId;
                });
                after.visuals.remove(before.selectedId);
                if (after.reference && after.reference->caliperId == before.selectedId)
                    after.reference.reset();
                after.selectedId = 0;
                expected = after;
                expectedEvents = {sel(0), kChanged};
            } else {
                expected = before;
            }
        } else if (command < 71) {
            what = QStringLiteral("clear");
            c.clear();
            Snapshot after = before;
            after.calipers.clear();
            after.visuals.clear();
            after.reference.reset();
            after.selectedId = 0;
            expected = after;
            if (before.selectedId != 0)
                expectedEvents << sel(0);
            expectedEvents << kChanged;
        } else if (command < 78) {
            const quint64 id = anyId(before);
            const double ms = duration();
            what = QStringLiteral("set reference %1 %2 ms").arg(id).arg(ms);
            c.setActiveReference(id, ms);
            if (rec.events == QStringList{kChanged}) {
                ++accepted;
                QCOMPARE(referenceId(c), id);
                QCOMPARE(c.m_model.reference()->durationMs, ms);
                Snapshot after = before;
                after.reference = c.m_model.reference();
                expected = after;
                expectedEvents = {kChanged};
            } else {
                ++refused;
                expected = before;
                expectedEvents = {msg(zrn::MeasurementModel::isAllowedReferenceDuration(ms)
                                          ? kInvalidWidth
                                          : kUnsupportedDuration)};
            }
        } else if (command < 83) {
            const double ms = duration();
            what = QStringLiteral("reference duration %1").arg(ms);
            c.setReferenceDuration(ms);
            if (before.reference && zrn::MeasurementModel::isAllowedReferenceDuration(ms)) {
                Snapshot after = before;
                after.reference->durationMs = ms;
                expected = after;
                expectedEvents = {kChanged};
                if (ms != before.reference->durationMs)
                    expectedEvents << msg(QStringLiteral("Reference: %1 ms").arg(ms));
            } else {
                expected = before;
                if (before.reference)
                    expectedEvents = {msg(kUnsupportedDuration)};
            }
        } else if (command < 87) {
            const QString display = displayIds[below(std::size(displayIds))];
            what = QStringLiteral("invalidate %1").arg(display);
            c.handleDisplayInvalidated(display);
            Snapshot after = before;
            if (before.reference
                && QString::fromStdString(before.reference->display.stableId) == display) {
                after.reference.reset();
                expectedEvents = {kChanged, msg(kDisplayChanged)};
            }
            expected = after;
        } else if (command < 97) {
            const quint64 id = below(3) == 0 ? before.selectedId : anyId(before);
            what = QStringLiteral("select %1").arg(id);
            c.setSelectedId(id);
            Snapshot after = before;
            after.selectedId = id;
            expected = after;
            if (id != before.selectedId)
                expectedEvents = {sel(id)};
        } else {
            const bool on = below(2);
            what = QStringLiteral("edit mode %1").arg(on ? "on" : "off");
            c.setEditMode(on);
            Snapshot after = before;
            after.editMode = on;
            expected = after;
            if (on != before.editMode)
                expectedEvents = {QStringLiteral("editMode:%1").arg(on ? "true" : "false")};
        }

        // A new QT/QTc caliper, or none, is announced before the change itself.
        const auto qtcOf = [](const std::vector<zrn::Caliper> &calipers) {
            for (const zrn::Caliper &caliper : calipers) {
                if (caliper.kind == zrn::CaliperKind::Qtc)
                    return quint64(caliper.id);
            }
            return quint64(0);
        };
        const quint64 qtAfter = qtcOf(c.m_model.calipers());
        if (qtcOf(before.calipers) != qtAfter)
            expectedEvents.insert(std::max(qsizetype(0), expectedEvents.indexOf(kChanged)),
                                  qt(qtAfter));
        const QByteArray context = QStringLiteral("step %1: %2").arg(step).arg(what).toUtf8();
        QVERIFY2(rec.events == expectedEvents,
                 (context + " events " + rec.events.join(" | ").toUtf8()).constData());
        if (expected)
            QVERIFY2(difference(snapshot(c), *expected).isEmpty(),
                     (context + " " + difference(snapshot(c), *expected).toUtf8()).constData());
        // Without measurementsChanged no listener would reload: nothing it shows may change.
        if (!rec.events.contains(kChanged)) {
            Snapshot now = snapshot(c);
            now.selectedId = before.selectedId;
            now.editMode = before.editMode;
            now.nextId = before.nextId;
            QVERIFY2(difference(now, before).isEmpty(), context.constData());
        }
        const QString violation = invariantViolation(c);
        QVERIFY2(violation.isEmpty(), (context + " " + violation.toUtf8()).constData());
        for (const QVariant &row : c.measurements()) {
            // Every stored width is above 10: this error means the numbers overflowed.
            if (row.toMap().value("result").toString() == kInvalidWidth)
                ++overflowing;
        }
    }
    // The sequence must exercise both outcomes in earnest.
    QVERIFY(accepted > 1000);
    QVERIFY(refused > 500);
    QVERIFY(overflowing > 0);
    qInfo("%d accepted, %d refused, %d overflowing rows seen", accepted, refused, overflowing);
}

QTEST_MAIN(TestOverlayController)

#include "tst_overlaycontroller.moc"
