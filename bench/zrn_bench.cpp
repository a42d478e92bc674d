// Performance figures of ZRN Calipers; prints rows of a Markdown table.
//   zrn-bench rows                 measurementsForDisplay for 10 and 100 calipers
//   zrn-bench hittest              the overlay window's hit-test decision
//   zrn-bench frames WxH           drag frame cost for 1, 10, 50 calipers (needs a display)
//   zrn-bench startup              start-up to first panel frame, resident memory (needs X11)
//   zrn-bench opengl               the OpenGL renderer available, if any
// Not a test: it never fails on a slow figure.

#include "alloc_counter.h"
#include "native_overlay_window.h"
#include "overlay_controller.h"
#include "renderer_choice.h"
#include "x_display.h"

#if __has_include("overlay_platform.h")
#include "overlay_platform.h"
#define ZRN_BENCH_HAS_OVERLAY_PLATFORM 1
#endif

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QProcess>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QRandomGenerator>
#include <QSGRendererInterface>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QtQml/qqml.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

struct Stats
{
    double median = 0;
    double p95 = 0;
};

Stats stats(std::vector<double> v)
{
    if (v.empty())
        return {};
    std::sort(v.begin(), v.end());
    const auto at = [&v](double q) {
        const std::size_t i = std::size_t(std::ceil(q * double(v.size()))) - 1;
        return v[std::min(i, v.size() - 1)];
    };
    return {v[v.size() / 2], at(0.95)};
}

void row(const QString &what, const QString &which, const QString &median, const QString &p95,
         const QString &note = {})
{
    std::printf("| %s | %s | %s | %s | %s |\n", qPrintable(what), qPrintable(which),
                qPrintable(median), qPrintable(p95), qPrintable(note));
    std::fflush(stdout);
}

QString ms(double v)
{
    return v >= 1 ? QStringLiteral("%1 ms").arg(v, 0, 'f', 2)
                  : QStringLiteral("%1 µs").arg(v * 1000, 0, 'f', 2);
}

const QString kDisplayId = QStringLiteral("0123456789abcdef");

// Calipers spread over a display of W × H, none near another's handles.
void addCalipers(OverlayController &controller, int count, int width, int height)
{
    for (int i = 0; i < count; ++i) {
        const double startX = 60 + (i * 61) % std::max(1, width - 400);
        const double endX = startX + 150 + (i * 7) % 50;
        const double y = 150 + (i * 97) % std::max(1, height - 300);
        controller.addMeasurement(i == 0 ? QStringLiteral("reference") : QStringLiteral("standard"),
                                  kDisplayId, 96, 1, startX, endX, y, QStringLiteral("#2dd4bf"),
                                  1000);
    }
}

// --- measurementsForDisplay --------------------------------------------------

int benchRows()
{
    for (int count : {10, 100}) {
        OverlayController controller;
        addCalipers(controller, count, 1920, 1080);
        const int calls = count == 10 ? 5000 : 1000;
        std::vector<double> times;
        times.reserve(std::size_t(calls));
        std::size_t rows = 0;
        const std::uint64_t allocsBefore = zrn::bench::allocationCount();
        for (int i = 0; i < calls; ++i) {
            const auto t0 = Clock::now();
            const QVariantList list = controller.measurementsForDisplay(kDisplayId);
            const auto t1 = Clock::now();
            rows = std::size_t(list.size());
            times.push_back(msSince(t0, t1));
        }
        const double allocs = double(zrn::bench::allocationCount() - allocsBefore) / calls;
        const Stats s = stats(times);
        row(QStringLiteral("`measurementsForDisplay` rows"),
            QStringLiteral("%1 calipers (%2 rows)").arg(count).arg(rows), ms(s.median), ms(s.p95),
            QStringLiteral("%1 allocations per call").arg(allocs, 0, 'f', 0));
    }
    return 0;
}

// --- hit test ---------------------------------------------------------------

#ifdef ZRN_BENCH_HAS_OVERLAY_PLATFORM
struct Query
{
    quint32 magic;
    QPoint screen;
};
constexpr quint32 kQueryMagic = 0x84;

// The windowing system as the hit test sees it: queries come as Query structs.
class BenchPlatform final : public OverlayPlatform
{
public:
    explicit BenchPlatform(qreal ratio) : m_ratio(ratio) {}
    bool nativeWindowExists(const QWindow &) const override { return false; }
    void setMask(QWindow &, const QRegion &) override {}
    std::uint64_t readInputStyles(QWindow &) override { return 0; }
    void writeInputStyles(QWindow &, std::uint64_t, const QRegion &) override {}
    void applyInputStyles(QWindow &) override {}
    bool isHitTestQuery(const void *message) const override
    {
        return static_cast<const Query *>(message)->magic == kQueryMagic;
    }
    QPoint hitTestPosition(const void *message) const override
    {
        return static_cast<const Query *>(message)->screen;
    }
    QPoint screenToClient(QWindow &, QPoint screen) const override { return screen; }
    qreal devicePixelRatio(const QWindow &) const override { return m_ratio; }

private:
    qreal m_ratio;
};

class HitTestWindow : public NativeOverlayWindow
{
public:
    using NativeOverlayWindow::NativeOverlayWindow;
    bool query(const QByteArray &type, void *message, qintptr *result)
    {
        return nativeEvent(type, message, result);
    }
};

QVariantMap rect(double x, double y, double w, double h)
{
    return {{QStringLiteral("x"), qRound(x)},
            {QStringLiteral("y"), qRound(y)},
            {QStringLiteral("width"), qRound(w)},
            {QStringLiteral("height"), qRound(h)}};
}
#endif

int benchHitTest()
{
#ifdef ZRN_BENCH_HAS_OVERLAY_PLATFORM
    constexpr int kWidth = 1920, kHeight = 1080;
    for (qreal ratio : {1.0, 2.0}) {
        for (int count : {1, 10, 50}) {
            HitTestWindow window(std::make_unique<BenchPlatform>(ratio));
            QVariantList interactive;
            for (int i = 0; i < count; ++i) {
                // The four interactive rectangles the overlay gives each caliper.
                const double startX = 60 + (i * 61) % (kWidth - 400);
                const double endX = startX + 150 + (i * 7) % 50;
                const double y = 150 + (i * 97) % (kHeight - 300);
                const double top = std::max(0.0, y - 0.4 * kHeight);
                const double span = std::min(double(kHeight), y + 0.4 * kHeight) - top;
                interactive << rect(startX - 5, top, 10, span) << rect(endX - 5, top, 10, span)
                            << rect(startX, y - 5, endX - startX, 10)
                            << rect((startX + endX) / 2 - 9, y - 9, 18, 18);
            }
            window.setInteractiveRegions(interactive);

            QRandomGenerator random(42);
            std::vector<Query> queries(4096);
            for (Query &q : queries)
                q = {kQueryMagic, QPoint(random.bounded(int(kWidth * ratio)),
                                         random.bounded(int(kHeight * ratio)))};
            const QByteArray type("windows_generic_MSG");
            constexpr int kBatches = 300, kBatch = 1000;
            std::vector<double> perQuery;
            perQuery.reserve(kBatches);
            int taken = 0;
            std::size_t next = 0;
            const std::uint64_t allocsBefore = zrn::bench::allocationCount();
            for (int b = 0; b < kBatches; ++b) {
                const auto t0 = Clock::now();
                for (int i = 0; i < kBatch; ++i) {
                    qintptr result = 0;
                    Query &q = queries[next++ % queries.size()];
                    const bool passes = window.query(type, &q, &result) && result == -1;
                    taken += passes ? 0 : 1;
                }
                perQuery.push_back(msSince(t0, Clock::now()) / kBatch);
            }
            const std::uint64_t allocs = zrn::bench::allocationCount() - allocsBefore;
            const Stats s = stats(perQuery);
            row(QStringLiteral("Hit-test decision"),
                QStringLiteral("%1 caliper%2, ratio %3")
                    .arg(count)
                    .arg(count == 1 ? "" : "s")
                    .arg(ratio),
                ms(s.median), ms(s.p95),
                QStringLiteral("%1 allocations in %2 queries; %3 % taken")
                    .arg(allocs)
                    .arg(kBatches * kBatch)
                    .arg(100.0 * taken / (kBatches * kBatch), 0, 'f', 1));
        }
    }
#else
    row(QStringLiteral("Hit-test decision"), QStringLiteral("—"), QStringLiteral("n/a"),
        QStringLiteral("n/a"),
        QStringLiteral("the overlay window's platform layer is not built yet"));
#endif
    return 0;
}

// --- drag frames ------------------------------------------------------------

bool waitForFrame(QQuickWindow *window, std::atomic<int> &frames, int before, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (frames.load() == before && t.elapsed() < timeoutMs) {
        QEventLoop loop;
        QObject::connect(window, &QQuickWindow::frameSwapped, &loop, &QEventLoop::quit,
                         Qt::QueuedConnection);
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        if (frames.load() == before)
            loop.exec();
    }
    return frames.load() != before;
}

QString apiName(QSGRendererInterface::GraphicsApi api)
{
    switch (api) {
    case QSGRendererInterface::Software:
        return QStringLiteral("software");
    case QSGRendererInterface::OpenGL:
        return QStringLiteral("OpenGL");
    default:
        return QStringLiteral("API %1").arg(int(api));
    }
}

int benchFrames(int width, int height)
{
    QQmlEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    QQmlComponent component(&engine,
                            QUrl(QStringLiteral("qrc:/qt/qml/ZRNCalipers/qml/OverlayWindow.qml")));
    const QString size = QStringLiteral("%1 × %2").arg(width).arg(height);
    for (int count : {0, 1, 10, 50}) {
        OverlayController controller;
        addCalipers(controller, count, width, height);
        const QVariantMap display{
            {QStringLiteral("stableId"), kDisplayId},
            {QStringLiteral("name"), QStringLiteral("bench")},
            {QStringLiteral("x"), 0},
            {QStringLiteral("y"), 0},
            {QStringLiteral("width"), width},
            {QStringLiteral("height"), height},
            {QStringLiteral("logicalDpi"), 96.0},
            {QStringLiteral("devicePixelRatio"), 1.0},
            {QStringLiteral("screen"), QVariant::fromValue(QGuiApplication::primaryScreen())}};
        std::unique_ptr<QObject> object(component.createWithInitialProperties(
            {{QStringLiteral("displayInfo"), display},
             {QStringLiteral("controller"),
              QVariant::fromValue(static_cast<QObject *>(&controller))},
             {QStringLiteral("qtcMode"), QStringLiteral("rate")},
             {QStringLiteral("qtcValue"), QString()}}));
        auto *window = qobject_cast<QQuickWindow *>(object.get());
        if (!window) {
            const QList<QQmlError> errors = component.errors();
            row(QStringLiteral("Drag frame (move → frame swapped)"), size, QStringLiteral("n/a"),
                QStringLiteral("n/a"),
                QStringLiteral("the overlay document did not load: %1")
                    .arg(errors.isEmpty() ? QStringLiteral("not a window")
                                          : errors.first().description().simplified()));
            return 1;
        }
        std::atomic<int> frames{0};
        std::atomic<qint64> frameAt{0};
        QObject::connect(
            window, &QQuickWindow::frameSwapped, window,
            [&] {
                frameAt.store(Clock::now().time_since_epoch().count());
                frames.fetch_add(1);
            },
            Qt::DirectConnection);
        window->show();
        if (!waitForFrame(window, frames, 0, 10000)) {
            row(QStringLiteral("Drag frame (move → frame swapped)"),
                QStringLiteral("%1, %2 calipers").arg(size).arg(count), QStringLiteral("n/a"),
                QStringLiteral("n/a"), QStringLiteral("no first frame"));
            return 1;
        }
        const QString api = apiName(window->rendererInterface()->graphicsApi());

        // An empty overlay has nothing to drag: the cost of a frame it is asked for.
        if (count == 0) {
            std::vector<double> costs;
            for (int i = 0; i < 320; ++i) {
                const int before = frames.load();
                const auto t0 = Clock::now();
                window->update();
                if (!waitForFrame(window, frames, before, 1000))
                    continue;
                if (i >= 20)
                    costs.push_back(
                        msSince(t0, Clock::time_point{Clock::duration(frameAt.load())}));
            }
            const Stats s = stats(costs);
            row(QStringLiteral("Frame of an empty overlay (update → frame swapped)"),
                QStringLiteral("%1, %2").arg(size, api), ms(s.median), ms(s.p95));
            window->close();
            continue;
        }

        // Press on the right handle of the caliper drawn last, then drag it.
        const QVariantList rows = controller.measurementsForDisplay(kDisplayId);
        const QVariantMap last = rows.constLast().toMap();
        const QPointF handle(last.value(QStringLiteral("endX")).toDouble(),
                             last.value(QStringLiteral("y")).toDouble());
        auto send = [window](QEvent::Type type, const QPointF &p, Qt::MouseButton button,
                             Qt::MouseButtons buttons) {
            QMouseEvent e(type, p, p, window->mapToGlobal(p), button, buttons, Qt::NoModifier);
            QCoreApplication::sendEvent(window, &e);
        };
        send(QEvent::MouseMove, handle, Qt::NoButton, Qt::NoButton);
        send(QEvent::MouseButtonPress, handle, Qt::LeftButton, Qt::LeftButton);
        waitForFrame(window, frames, frames.load(), 200);

        constexpr int kWarmUp = 20, kFrames = 300;
        std::vector<double> costs;
        int missed = 0;
        for (int i = 0; i < kWarmUp + kFrames; ++i) {
            const QPointF to = handle + QPointF(1 + i % 80, (i % 7) - 3);
            const int before = frames.load();
            const auto t0 = Clock::now();
            send(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
            if (!waitForFrame(window, frames, before, 1000)) {
                ++missed;
                continue;
            }
            const Clock::time_point t1{Clock::duration(frameAt.load())};
            if (i >= kWarmUp)
                costs.push_back(msSince(t0, t1));
        }
        send(QEvent::MouseButtonRelease, handle, Qt::LeftButton, Qt::NoButton);
        const Stats s = stats(costs);
        row(QStringLiteral("Drag frame (move → frame swapped)"),
            QStringLiteral("%1, %2 caliper%3, %4")
                .arg(size)
                .arg(count)
                .arg(count == 1 ? "" : "s")
                .arg(api),
            ms(s.median), ms(s.p95),
            missed ? QStringLiteral("%1 moves without a frame").arg(missed) : QString());
        window->close();
    }
    return 0;
}

// --- start-up and memory ----------------------------------------------------

qint64 residentKiB(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

bool near(QRgb c, QRgb want)
{
    return std::abs(qRed(c) - qRed(want)) <= 6 && std::abs(qGreen(c) - qGreen(want)) <= 6
           && std::abs(qBlue(c) - qBlue(want)) <= 6;
}

int benchStartup()
{
    XDisplay x;
    if (!x.isOpen()) {
        row(QStringLiteral("Start-up to first panel frame"), QStringLiteral("—"),
            QStringLiteral("n/a"), QStringLiteral("n/a"), QStringLiteral("no X server"));
        return 1;
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));

    constexpr int kRuns = 5;
    std::vector<double> startups;
    std::vector<double> rssStart;
    qint64 rssAfter = -1;
    for (int run = 0; run < kRuns; ++run) {
        QProcess program;
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const auto t0 = Clock::now();
        program.start(QStringLiteral(ZRN_PROGRAM));
        if (!program.waitForStarted(10000))
            return 1;
        const qint64 pid = program.processId();
        std::optional<XTopLevel> panel;
        bool drawn = false;
        Clock::time_point t1;
        while (!drawn && msSince(t0, Clock::now()) < 20000) {
            for (const XTopLevel &w : x.topLevels())
                if (w.mapped && w.pid == pid && w.title == QStringLiteral("ZRN Calipers")
                    && w.types.value(0) != QStringLiteral("_NET_WM_WINDOW_TYPE_UTILITY")
                    && w.types.contains(QStringLiteral("_NET_WM_WINDOW_TYPE_NORMAL")))
                    panel = w;
            if (panel) {
                // The header's fill, clear of the title and the buttons.
                const QImage px
                    = x.grab(QRect(panel->geometry.topLeft() + QPoint(100, 4), QSize(1, 1)));
                drawn = !px.isNull() && near(px.pixel(0, 0), qRgb(0xe8, 0xf0, 0xed));
            }
            if (!drawn)
                QThread::usleep(500);
        }
        t1 = Clock::now();
        if (!drawn) {
            row(QStringLiteral("Start-up to first panel frame"), QStringLiteral("—"),
                QStringLiteral("n/a"), QStringLiteral("n/a"),
                QStringLiteral("the panel's header never appeared"));
            program.kill();
            program.waitForFinished();
            return 1;
        }
        startups.push_back(msSince(t0, t1));
        QThread::msleep(500); // let the overlays settle before reading memory
        rssStart.push_back(double(residentKiB(pid)));

        if (run == kRuns - 1) {
            // 50 calipers through the panel's "Add Caliper" button, as a user would.
            const QPoint button = panel->geometry.topLeft() + QPoint(95, 58 + 1 + 8 + 13 + 7 + 16);
            QProcess::execute(QStringLiteral("xdotool"),
                              {QStringLiteral("mousemove"), QString::number(button.x()),
                               QString::number(button.y()), QStringLiteral("click"),
                               QStringLiteral("--repeat"), QStringLiteral("50"),
                               QStringLiteral("--delay"), QStringLiteral("40"),
                               QStringLiteral("1")});
            QThread::msleep(2000);
            rssAfter = residentKiB(pid);
        }
        program.terminate();
        if (!program.waitForFinished(5000)) {
            program.kill();
            program.waitForFinished();
        }
    }
    const Stats s = stats(startups);
    row(QStringLiteral("Start-up to first panel frame"), QStringLiteral("%1 runs, xcb").arg(kRuns),
        ms(s.median), ms(s.p95));
    const Stats r = stats(rssStart);
    row(QStringLiteral("Resident memory"), QStringLiteral("after start-up"),
        QStringLiteral("%1 MiB").arg(r.median / 1024, 0, 'f', 1), QStringLiteral("—"));
    row(QStringLiteral("Resident memory"), QStringLiteral("after 50 calipers"),
        QStringLiteral("%1 MiB").arg(double(rssAfter) / 1024, 0, 'f', 1), QStringLiteral("—"));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    qmlRegisterType<NativeOverlayWindow>("ZRNCalipers.Native", 1, 0, "NativeOverlayWindow");
    const QStringList args = app.arguments();
    const QString mode = args.value(1);
    if (mode == QStringLiteral("rows"))
        return benchRows();
    if (mode == QStringLiteral("hittest"))
        return benchHitTest();
    if (mode == QStringLiteral("frames")) {
        // As the program chooses where the user names no renderer.
        const QString renderer = useSoftwareRendererWithoutGraphicsCard();
        if (!renderer.isEmpty())
            std::fprintf(stderr, "graphics API renderer: %s\n", qPrintable(renderer));
        const QStringList wh = args.value(2, QStringLiteral("1920x1080")).split(QLatin1Char('x'));
        return benchFrames(wh.value(0).toInt(), wh.value(1).toInt());
    }
    if (mode == QStringLiteral("startup"))
        return benchStartup();
    if (mode == QStringLiteral("opengl")) {
        const QString renderer = defaultRendererName();
        std::printf("%s\n", renderer.isEmpty() ? "none" : qPrintable(renderer));
        return renderer.isEmpty() ? 1 : 0;
    }
    std::fprintf(stderr, "usage: zrn-bench rows|hittest|frames WxH|startup|opengl\n");
    return 2;
}
