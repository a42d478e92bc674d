// End-to-end: the real zrn-calipers on an X server with two monitors of
// different size, the right one at scale 2. The program is driven only with
// xdotool; everything checked is read back from X: window geometry and
// stacking, XShape input shapes, and pixels of the screen. A probe window of
// our own, filled with one colour, lies beneath the overlays and logs the clicks
// that reach it.
//
// The slots run in order and share one program instance, like a user session:
// start, the windows' corners, moving the panel and the information window,
// click through, caliper life, a compositing manager coming and going, the
// scaled display, its monitor unplugged under the panel, hot-plug, the overlays
// as other programs and a window manager (Openbox, started by the test for a
// while) see them, a second start, close. The suite runs on a bare X server,
// where transparent pixels would show black, and with ZRN_E2E_COMPOSITOR set,
// under xcompmgr from the start. With ZRN_E2E_WM set it runs the slots that
// concern moving and placing windows under that window manager (Openbox),
// started before the program.

#include "x_display.h"

#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QMap>
#include <QPainter>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QtTest>
#include <algorithm>
#include <functional>
#include <optional>

using namespace std::chrono_literals;

namespace {

// Qt Test waits twice as long again before it reports a failed QTRY. Generous,
// since the sanitizer build is several times slower: a QTRY ends as soon as
// its condition holds.
constexpr int kStartTimeoutMs = 15000;
constexpr int kTimeoutMs = 10000;

// A monitor of the test's X screen: its physical rectangle and Qt scale factor.
struct Monitor
{
    const char *name;
    QRect physical;
    int scale;

    double logicalWidth() const { return physical.width() / double(scale); }
    double logicalHeight() const { return physical.height() / double(scale); }
    QPoint toPhysical(double x, double y) const
    {
        return physical.topLeft() + QPoint(qRound(x * scale), qRound(y * scale));
    }
    QString xrandrGeometry() const
    {
        // size in pixels / millimetres at about 96 dots per inch
        return QStringLiteral("%1/%2x%3/%4+%5+%6")
            .arg(physical.width())
            .arg(qRound(physical.width() * 25.4 / 96))
            .arg(physical.height())
            .arg(qRound(physical.height() * 25.4 / 96))
            .arg(physical.x())
            .arg(physical.y());
    }
};

const Monitor kMonitorA{"A", QRect(0, 0, 1920, 1080), 1};
const Monitor kMonitorB{"B", QRect(1920, 0, 1280, 1024), 2};

// Layout of the control panel, in its logical pixels.
constexpr int kPanelWidth = 190;
constexpr int kPanelHeight = 390; // without a QT/QTc caliper
// The interval count and its spacing, shown while a Standard caliper is selected.
constexpr int kIntervalRowHeight = 22 + 7;
constexpr int kHeaderHeight = 58;
constexpr int kSeparatorHeight = 1;
constexpr int kPanePadding = 8;
constexpr int kColumnSpacing = 7;
constexpr int kButtonHeight = 32;
constexpr int kButtonSpacing = 5;
constexpr int kNominalHeadingHeight = 13; // a 10-pixel text line; depends on the font
// Close button: 26 × 22 at the right end of the header's first row (row margins 6,
// two 22-high rows with −3 spacing centred in the 58-high header).
constexpr double kCloseFromRight = 6 + 13;
constexpr double kCloseY = 6 + (kHeaderHeight - 12 - (22 + 22 - 3)) / 2.0 + 11;
// The minimise button left of it, the information button under that.
constexpr double kMinimiseFromRight = kCloseFromRight + 26 + 2;
constexpr double kInfoY = kCloseY + 22 - 3;
// Where a drag takes the header: in its title, clear of the buttons.
const QPoint kHeaderGrab(60, 20);
constexpr int kFrameRadius = 8;
// The information window: its title bar 36 high with the close
// button (38 wide) at its right end; a drag takes the title bar in its title.
constexpr int kInfoTitleHeight = 36;
const QPoint kInfoGrab(100, 18);
constexpr int kInfoRadius = 9;

enum PaletteButton { AddCaliper = 0, AddRhythm, Reference, QtQtc, ClearAll };

// Where the panel places the n-th new caliper on a display of W × H (display-local).
struct Placement
{
    double startX, endX, y;
};

Placement placement(int n, double width, double height)
{
    const int offset = (n * 24) % 168;
    const double startX = std::max(30.0, width / 2 - 50 + offset);
    const double endX = std::min(width - 30, startX + 100);
    const double y = std::max(60.0, std::min(height - 60, height / 2 - 60 + (n * 18) % 120));
    return {startX, endX, y};
}

// Hover fills of the light theme: a palette button, the information window's
// close button.
const QColor kPaletteButtonHover(0xdc, 0xec, 0xe7);
const QColor kInfoCloseHover(0xdc, 0xec, 0xe7);

// The probe's fill: neither a caliper's colour, nor a label's, nor black.
const QColor kProbeColour(0x3c, 0x5a, 0xa0);

bool isProbeColour(QRgb c)
{
    return std::abs(qRed(c) - kProbeColour.red()) <= 3
           && std::abs(qGreen(c) - kProbeColour.green()) <= 3
           && std::abs(qBlue(c) - kProbeColour.blue()) <= 3;
}

// Caliper colour "#2dd4bf", also where a 1-pixel line covers a pixel only partly.
bool isCaliperColour(QRgb c)
{
    return qGreen(c) - qRed(c) >= 40 && qBlue(c) - qRed(c) >= 30;
}

// Label box fill rgba(8, 19, 17, 0.90): as stored (premultiplied), which a bare X
// server shows, or blended over the probe by a compositing manager.
bool isLabelFill(QRgb c)
{
    auto near = [c](double r, double g, double b) {
        return std::abs(qRed(c) - r) <= 6 && std::abs(qGreen(c) - g) <= 6
               && std::abs(qBlue(c) - b) <= 6;
    };
    auto over = [](int fill, int beneath) { return 0.9 * fill + 0.1 * beneath; };
    return near(7, 17, 15)
           || near(over(8, kProbeColour.red()), over(19, kProbeColour.green()),
                   over(17, kProbeColour.blue()));
}

bool isLabelText(QRgb c)
{
    return qRed(c) > 150 && qGreen(c) > 150 && qBlue(c) > 150;
}

// The label font as the overlays choose it: weight 600, 12 pixels, "Segoe UI"
// or the first of these installed.
QFont labelFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("Segoe UI"), QStringLiteral("DejaVu Sans"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("Noto Sans"),
                      QStringLiteral("Arial"), QStringLiteral("Helvetica")});
    font.setPixelSize(12);
    font.setWeight(QFont::DemiBold);
    return font;
}

// How much of each pixel the letters cover, from 0 (the box's fill) to 1 (the
// text colour): the darkest channel of the letters' light colour stands out
// from the dark fill, the probe and a caliper's teal alike.
QList<double> coverageOf(const QImage &image, int text)
{
    // The fill, however it shows (as stored, or over what lies beneath), at the
    // box's corner, where no letter is.
    const QRgb corner = image.pixel(1, 1);
    const int fill = std::min({qRed(corner), qGreen(corner), qBlue(corner)});
    QList<double> coverage;
    coverage.reserve(qsizetype(image.width()) * image.height());
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            const int v = std::min({qRed(c), qGreen(c), qBlue(c)});
            coverage.append(std::clamp(double(v - fill) / (text - fill), 0.0, 1.0));
        }
    return coverage;
}

// A label box of `size` with `text` in it as the overlays draw one: the fill
// rgba(8, 19, 17, 0.90), the text "#ecfdf5" in lines 15 apart, 6 in from the
// left and 4 from the top. Drawn the same way, the letters are rasterised alike.
QImage labelImage(const QString &text, QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.fillRect(QRect(QPoint(0, 0), size), QColor::fromRgba(0xe6081311));
    painter.setFont(labelFont());
    painter.setPen(QColor::fromRgba(0xffecfdf5));
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i)
        painter.drawText(QRectF(6, 4 + 15 * i, size.width(), 15),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, lines.at(i));
    painter.end();
    // As a bare X server shows it: the stored (premultiplied) values, over black.
    QImage shown(size, QImage::Format_RGB32);
    shown.fill(Qt::black);
    QPainter(&shown).drawImage(0, 0, image);
    return shown;
}

QString colourList(const QImage &image)
{
    QStringList out;
    for (int y = 0; y < image.height() && out.size() < 24; ++y)
        for (int x = 0; x < image.width() && out.size() < 24; ++x)
            out << QColor(image.pixel(x, y)).name();
    return out.isEmpty() ? QStringLiteral("(nothing)") : out.join(QLatin1Char(' '));
}

// Drawn with no light at all: a transparent pixel that a bare X server shows.
bool isBlackish(QRgb c)
{
    return qRed(c) <= 40 && qGreen(c) <= 40 && qBlue(c) <= 40;
}

bool near(QRgb c, const QColor &expected, int tolerance = 4)
{
    return std::abs(qRed(c) - expected.red()) <= tolerance
           && std::abs(qGreen(c) - expected.green()) <= tolerance
           && std::abs(qBlue(c) - expected.blue()) <= tolerance;
}

QString rectText(const QRect &r)
{
    return QStringLiteral("%1x%2+%3+%4").arg(r.width()).arg(r.height()).arg(r.x()).arg(r.y());
}

} // namespace

class tst_E2E : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void cleanupTestCase();

    void overlaysCoverDisplaysAndPanelIsPlaced();
    void roundedCornersShowWhatLiesBeneath();
    void headerDragMovesThePanel_data();
    void headerDragMovesThePanel();
    void titleDragMovesTheInformationWindow_data();
    void titleDragMovesTheInformationWindow();
    void emptyOverlayPassesClicks();
    void addCaliperDrawsOnPanelDisplay();
    void clickOnHandleIsTakenElsewhereItPasses();
    void dragRightHandleMovesLine();
    void heldDragShowsNoBlack();
    void hoverRingLeavesWithThePointer();
    void keysAdjustSelectedCaliper();
    void rightClickRemovesCaliper();
    void referenceGivesTwoLineLabel();
    void compositingManagerComesAndGoes();
    void scaledDisplayTakesMouseWhereDrawn();
    void panelMovesOntoARemainingDisplay();
    void hotPlugRebuildsOverlaysAndKeepsCalipers();
    void meanOfThreeIntervalsOnScreen();
    void overlaysNameTheirDisplaysAndStayOutOfLists();
    void coveredOverlaysComeBackOnTop_data();
    void coveredOverlaysComeBackOnTop();
    void lostOverlayIsMadeAgain_data();
    void lostOverlayIsMadeAgain();
    void windowManagerCannotCloseOrHideOverlays();
    void secondStartHandsOverToTheFirst();
    void closingPanelExitsWithZero_data();
    void closingPanelExitsWithZero();

private:
    // tools
    bool run(const QString &program, const QStringList &args);
    QString output(const QString &program, const QStringList &args);
    void xdotool(const QStringList &args);
    void startProgram();
    void startWindowManager(const QString &program = QStringLiteral("openbox"));
    void stopWindowManager();
    void click(const QPoint &p, int button = 1);
    void setMonitor(const Monitor &m, const QString &output);
    void startCompositor();
    void stopCompositor();
    // Presses at `from`, moves to `to` in steps and lets go there; then moves on
    // beyond it, as a hand does after a drag. `corner` tells where the dragged
    // window is.
    void drag(const QPoint &from, const QPoint &to, const std::function<QPoint()> &corner);
    QPoint panelCorner() const;
    QPoint informationCorner() const;

    // what X shows
    QList<XTopLevel> programWindows() const;
    std::optional<XTopLevel> panel() const;
    std::optional<XTopLevel> informationWindow() const;
    // Pixels of a window's four corners, radius by radius, that are black.
    QString blackCorners(const QRect &window, int radius) const;
    bool showsBeneathAtCorners(const QRect &window) const;
    QList<XTopLevel> overlays() const;
    QString overlayGeometries() const;
    QString windowReport() const;
    bool lineAt(int x, int y, int tolerance = 2) const;
    bool horizontalLineAt(int x, int y, int tolerance = 2) const;
    QString around(int x, int y, int dx, int dy) const;
    bool probeShowsAt(const QPoint &p) const;
    bool showsColourAt(const QPoint &p, const QColor &colour) const;
    void verifyProbeShows(const QList<QPoint> &points, const char *where);
    bool inputShapeContains(const QPoint &p) const;
    // Which of the candidate texts the label box with its top-left corner at
    // `corner` shows, by its size and the pixels of its letters (empty when none
    // fits its size); its likeness (1 for every pixel alike) in `likeness`.
    QString readLabel(const QPoint &corner, const QStringList &candidates, double *likeness) const;
    double panelScale(const QRect &panelGeometry) const;
    QPoint paletteButton(PaletteButton button) const;
    QPoint closeButton() const;
    quint32 probeWindow() const;
    int stackIndex(quint32 window) const;
    bool programAbove(quint32 window) const;
    // The program's windows that the window manager lists: id by title.
    QMap<QString, quint32> managedWindows();
    QPoint infoButton() const;
    void closeInformationWindow();
    void verifyPanelStays(const QRect &where);
    // Moves the pointer there and waits for a hover fill of that colour at `fill`.
    void verifyHoverFill(const QPoint &pointer, const QPoint &fill, const QColor &colour,
                         const char *what);

    // probe
    bool probeGot(const QPoint &p, int qtButton) const;
    QString probeMissed(const QPoint &p) const;

    void saveFailureArtifacts(const QString &name);

    XDisplay m_x;
    QProcess m_probe;
    QProcess m_program;
    QProcess m_compositor;
    QProcess m_windowManager;     // Openbox, while a slot needs one
    bool m_compositedRun = false; // under a compositing manager from the start
    bool m_windowManaged = false; // under a window manager from the start
    QStringList m_probeLines;
    quint32 m_probeWindow = 0;
    QString m_artifacts;
    int m_created = 0; // calipers created from the panel so far (its createdCount)
    bool m_started = false;
    bool m_secondMonitor = true; // monitor B is plugged in
};

bool tst_E2E::run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(15000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        qWarning("%s %s failed: %s", qPrintable(program), qPrintable(args.join(QLatin1Char(' '))),
                 p.readAll().constData());
        return false;
    }
    return true;
}

QString tst_E2E::output(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(15000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

void tst_E2E::xdotool(const QStringList &args)
{
    QVERIFY2(run(QStringLiteral("xdotool"), args), "xdotool failed");
}

void tst_E2E::click(const QPoint &p, int button)
{
    xdotool({QStringLiteral("mousemove"), QString::number(p.x()), QString::number(p.y()),
             QStringLiteral("click"), QString::number(button)});
}

void tst_E2E::setMonitor(const Monitor &m, const QString &output)
{
    QVERIFY(
        run(QStringLiteral("xrandr"), {QStringLiteral("--setmonitor"), QString::fromLatin1(m.name),
                                       m.xrandrGeometry(), output}));
}

void tst_E2E::startCompositor()
{
    m_compositor.setProcessChannelMode(QProcess::MergedChannels);
    m_compositor.start(QStringLiteral("xcompmgr"), {});
    QVERIFY2(m_compositor.waitForStarted(kStartTimeoutMs), qPrintable(m_compositor.errorString()));
    QTRY_VERIFY2_WITH_TIMEOUT(m_x.compositingManagerRunning(),
                              "xcompmgr did not take the compositing manager selection",
                              kStartTimeoutMs);
}

// Openbox, unless a window manager runs already; it takes the program's windows
// into its frames at once.
void tst_E2E::startWindowManager(const QString &program)
{
    if (m_x.windowManagerRunning())
        return;
    m_windowManager.setProcessChannelMode(QProcess::MergedChannels);
    m_windowManager.start(program, {QStringLiteral("--sm-disable")});
    QVERIFY2(m_windowManager.waitForStarted(kStartTimeoutMs),
             qPrintable(m_windowManager.errorString()));
    QTRY_VERIFY2_WITH_TIMEOUT(
        m_x.windowManagerRunning(),
        qPrintable(program + QStringLiteral(" did not take the window manager selection")),
        kStartTimeoutMs);
    // Started under a running program, it frames the program's windows and may
    // stack them beneath the probe, which is out of its hands: back it goes.
    if (m_program.state() == QProcess::Running) {
        QTRY_VERIFY_WITH_TIMEOUT(managedWindows().contains(QStringLiteral("ZRN Calipers")),
                                 kStartTimeoutMs);
        m_x.lower(m_probeWindow);
    }
}

// Ends the window manager this test started; the program's windows are the root's
// children again.
void tst_E2E::stopWindowManager()
{
    // One that runs from the start stays to the end.
    if (m_windowManaged || m_windowManager.state() == QProcess::NotRunning)
        return;
    m_windowManager.terminate();
    QVERIFY(m_windowManager.waitForFinished(kTimeoutMs));
    QTRY_VERIFY2_WITH_TIMEOUT(!m_x.windowManagerRunning(),
                              "the window manager selection is still owned", kTimeoutMs);
}

QMap<QString, quint32> tst_E2E::managedWindows()
{
    // "0x01200003  0 4711  host title"
    QMap<QString, quint32> out;
    const QString list
        = output(QStringLiteral("wmctrl"), {QStringLiteral("-l"), QStringLiteral("-p")});
    for (const QString &line : list.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList fields = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (fields.size() < 5 || fields[2].toLongLong() != m_program.processId())
            continue;
        out.insert(fields.mid(4).join(QLatin1Char(' ')), fields[0].toUInt(nullptr, 16));
    }
    return out;
}

void tst_E2E::drag(const QPoint &from, const QPoint &to, const std::function<QPoint()> &corner)
{
    // The press, and a first step towards the end; the window has to have
    // followed that step before the rest comes, as a hand takes its time
    // there. (A window manager may hold the pointer back while it looks at a
    // press, and take later moves before the release meanwhile.)
    const QPoint start = corner();
    const QPoint towards((to.x() > from.x()) - (to.x() < from.x()),
                         (to.y() > from.y()) - (to.y() < from.y()));
    const QPoint first = from + towards * 4;
    xdotool({QStringLiteral("mousemove"), QString::number(from.x()), QString::number(from.y()),
             QStringLiteral("mousedown"), QStringLiteral("1"), QStringLiteral("mousemove"),
             QString::number(first.x()), QString::number(first.y())});
    QTRY_VERIFY2_WITH_TIMEOUT(corner() != start,
                              qPrintable(QStringLiteral("expected the window at %1,%2 to follow "
                                                        "the pointer from %3,%4 to %5,%6")
                                             .arg(start.x())
                                             .arg(start.y())
                                             .arg(from.x())
                                             .arg(from.y())
                                             .arg(first.x())
                                             .arg(first.y())),
                              kTimeoutMs);
    QStringList args;
    constexpr int kSteps = 8;
    for (int i = 1; i <= kSteps; ++i) {
        const QPoint p = first + (to - first) * i / kSteps;
        args << QStringLiteral("mousemove") << QString::number(p.x()) << QString::number(p.y());
    }
    args << QStringLiteral("mouseup") << QStringLiteral("1");
    for (const QPoint &beyond : {to + QPoint(120, 90), to + QPoint(240, -60)})
        args << QStringLiteral("mousemove") << QString::number(beyond.x())
             << QString::number(beyond.y());
    xdotool(args);
}

void tst_E2E::verifyHoverFill(const QPoint &pointer, const QPoint &fill, const QColor &colour,
                              const char *what)
{
    xdotool(
        {QStringLiteral("mousemove"), QString::number(pointer.x()), QString::number(pointer.y())});
    QTRY_VERIFY2_WITH_TIMEOUT(
        showsColourAt(fill, colour),
        qPrintable(QStringLiteral("expected %1 at %2,%3, saw [%4]; windows: %5")
                       .arg(QLatin1String(what))
                       .arg(fill.x())
                       .arg(fill.y())
                       .arg(around(fill.x(), fill.y(), 1, 1))
                       .arg(windowReport())),
        kTimeoutMs);
}

QPoint tst_E2E::panelCorner() const
{
    return panel().value_or(XTopLevel()).geometry.topLeft();
}

QPoint tst_E2E::informationCorner() const
{
    return informationWindow().value_or(XTopLevel()).geometry.topLeft();
}

bool tst_E2E::showsColourAt(const QPoint &p, const QColor &colour) const
{
    const QImage px = m_x.grab(QRect(p, QSize(1, 1)));
    return !px.isNull() && near(px.pixel(0, 0), colour);
}

void tst_E2E::stopCompositor()
{
    m_compositor.terminate();
    QVERIFY(m_compositor.waitForFinished(kTimeoutMs));
    QTRY_VERIFY2_WITH_TIMEOUT(!m_x.compositingManagerRunning(),
                              "the compositing manager selection is still owned", kTimeoutMs);
}

QList<XTopLevel> tst_E2E::programWindows() const
{
    QList<XTopLevel> out;
    const qint64 pid = m_program.processId();
    for (const XTopLevel &w : m_x.topLevels())
        if (w.mapped && pid != 0 && w.pid == pid)
            out << w;
    return out;
}

std::optional<XTopLevel> tst_E2E::panel() const
{
    for (const XTopLevel &w : programWindows()) {
        // Qt lists "normal" after the specific type of a window as a fallback.
        if (w.title == QStringLiteral("ZRN Calipers")
            && w.types.value(0) != QStringLiteral("_NET_WM_WINDOW_TYPE_UTILITY")
            && w.types.contains(QStringLiteral("_NET_WM_WINDOW_TYPE_NORMAL")))
            return w;
    }
    return std::nullopt;
}

std::optional<XTopLevel> tst_E2E::informationWindow() const
{
    for (const XTopLevel &w : programWindows())
        if (w.title == QStringLiteral("About ZRN Calipers"))
            return w;
    return std::nullopt;
}

QString tst_E2E::blackCorners(const QRect &window, int radius) const
{
    QStringList out;
    const QImage image = m_x.grab(window);
    if (image.size() != window.size())
        return QStringLiteral("(window not on the screen: %1)").arg(rectText(window));
    for (const QPoint &corner :
         {QPoint(0, 0), QPoint(window.width() - radius, 0), QPoint(0, window.height() - radius),
          QPoint(window.width() - radius, window.height() - radius)})
        for (int y = corner.y(); y < corner.y() + radius; ++y)
            for (int x = corner.x(); x < corner.x() + radius; ++x)
                if (isBlackish(image.pixel(x, y)))
                    out << QStringLiteral("%1,%2 %3")
                               .arg(window.x() + x)
                               .arg(window.y() + y)
                               .arg(QColor(image.pixel(x, y)).name());
    return out.join(QLatin1Char(' '));
}

bool tst_E2E::showsBeneathAtCorners(const QRect &w) const
{
    return probeShowsAt(w.topLeft()) && probeShowsAt(w.topRight()) && probeShowsAt(w.bottomLeft())
           && probeShowsAt(w.bottomRight());
}

QList<XTopLevel> tst_E2E::overlays() const
{
    QList<XTopLevel> out;
    for (const XTopLevel &w : programWindows())
        if (w.types.value(0) == QStringLiteral("_NET_WM_WINDOW_TYPE_UTILITY"))
            out << w;
    std::sort(out.begin(), out.end(), [](const XTopLevel &a, const XTopLevel &b) {
        return a.geometry.x() < b.geometry.x();
    });
    return out;
}

QString tst_E2E::overlayGeometries() const
{
    QStringList out;
    for (const XTopLevel &w : overlays())
        out << rectText(w.geometry);
    return out.join(QLatin1Char(' '));
}

QString tst_E2E::windowReport() const
{
    return QStringLiteral("program pid %1, mapped windows:\n%2")
        .arg(m_program.processId())
        .arg(XDisplay::describe(m_x.topLevels()));
}

// A vertical caliper line crosses row y within x ± tolerance.
bool tst_E2E::lineAt(int x, int y, int tolerance) const
{
    const QImage img = m_x.grab(QRect(x - tolerance, y, 2 * tolerance + 1, 1));
    for (int i = 0; i < img.width(); ++i)
        if (isCaliperColour(img.pixel(i, 0)))
            return true;
    return false;
}

bool tst_E2E::horizontalLineAt(int x, int y, int tolerance) const
{
    const QImage img = m_x.grab(QRect(x, y - tolerance, 1, 2 * tolerance + 1));
    for (int i = 0; i < img.height(); ++i)
        if (isCaliperColour(img.pixel(0, i)))
            return true;
    return false;
}

QString tst_E2E::around(int x, int y, int dx, int dy) const
{
    return colourList(m_x.grab(QRect(x - dx, y - dy, 2 * dx + 1, 2 * dy + 1)));
}

bool tst_E2E::probeShowsAt(const QPoint &p) const
{
    const QImage pixel = m_x.grab(QRect(p, QSize(1, 1)));
    return !pixel.isNull() && isProbeColour(pixel.pixel(0, 0));
}

// Nothing of the overlays covers these points: the probe beneath shows there.
void tst_E2E::verifyProbeShows(const QList<QPoint> &points, const char *where)
{
    for (const QPoint &p : points)
        QTRY_VERIFY2_WITH_TIMEOUT(probeShowsAt(p),
                                  qPrintable(QStringLiteral("expected the window beneath to show "
                                                            "%1 at %2,%3, saw [%4]")
                                                 .arg(QLatin1String(where))
                                                 .arg(p.x())
                                                 .arg(p.y())
                                                 .arg(around(p.x(), p.y(), 1, 1))),
                                  kTimeoutMs);
}

bool tst_E2E::inputShapeContains(const QPoint &p) const
{
    for (const XTopLevel &w : overlays()) {
        if (!w.geometry.contains(p))
            continue;
        for (const QRect &r : m_x.inputShape(w.id))
            if (r.contains(p))
                return true;
    }
    return false;
}

QString tst_E2E::readLabel(const QPoint &corner, const QStringList &candidates,
                           double *likeness) const
{
    // The box on screen: its fill along its top and left edges, from the corner.
    const QImage row = m_x.grab(QRect(corner + QPoint(0, 1), QSize(400, 1)));
    const QImage column = m_x.grab(QRect(corner + QPoint(1, 0), QSize(1, 100)));
    int width = 0;
    while (width < row.width() && isLabelFill(row.pixel(width, 0)))
        ++width;
    int height = 0;
    while (height < column.height() && isLabelFill(column.pixel(0, height)))
        ++height;
    const QList<double> shown = coverageOf(m_x.grab(QRect(corner, QSize(width, height))), 236);

    // Alike where the letters cover the same pixels as much: 1 minus the
    // difference over all that either covers.
    const auto alikeness = [](const QList<double> &a, const QList<double> &b) {
        double differ = 0;
        double either = 0;
        for (qsizetype i = 0; i < a.size(); ++i) {
            differ += std::abs(a[i] - b[i]);
            either += std::max(a[i], b[i]);
        }
        return either == 0 ? 0.0 : 1.0 - differ / either;
    };
    const QFontMetricsF metrics(labelFont());
    QString best;
    double bestLikeness = 0;
    for (const QString &text : candidates) {
        // A text of another box size is not what the box shows.
        const QStringList lines = text.split(QLatin1Char('\n'));
        double widest = 0;
        for (const QString &line : lines)
            widest = std::max(widest, metrics.horizontalAdvance(line));
        if (int(std::ceil(widest)) + 12 != width || int(lines.size()) * 15 + 8 != height)
            continue;
        const double alike
            = alikeness(coverageOf(labelImage(text, QSize(width, height)), 236), shown);
        if (alike > bestLikeness) {
            bestLikeness = alike;
            best = text;
        }
    }
    if (likeness)
        *likeness = bestLikeness;
    return best;
}

// Scale of the panel's contents: that of the monitor under its top-left corner.
// X11 keeps a window's pixel size when it moves to a monitor of another scale,
// so the panel's width in pixels does not tell its scale.
// The panel is 190 logical pixels wide on every display, so its width in
// device pixels tells the scale it is drawn at.
double tst_E2E::panelScale(const QRect &g) const
{
    return g.width() / 190.0;
}

// Centre of a palette button. Its height is fixed; only the heading above the
// buttons depends on the font. Where the buttons can be seen (their white fill
// in a column left of the texts), their drawn position is used.
QPoint tst_E2E::paletteButton(PaletteButton button) const
{
    const auto p = panel();
    if (!p)
        return {};
    const QRect g = p->geometry;
    const double s = panelScale(g);
    const int index = int(button);
    const double nominal = kHeaderHeight + kSeparatorHeight + kPanePadding + kNominalHeadingHeight
                           + kColumnSpacing + index * (kButtonHeight + kButtonSpacing)
                           + kButtonHeight / 2.0;
    int y = g.y() + qRound(nominal * s);

    const int columnX = g.x() + qRound((kPanePadding + 15) * s);
    const QImage column = m_x.grab(QRect(columnX, g.y(), 1, g.height()));
    auto isButtonFill = [](QRgb c) {
        const QColor plain(0xffffff), hovered(0xdcece7);
        for (const QColor &f : {plain, hovered})
            if (std::abs(qRed(c) - f.red()) <= 4 && std::abs(qGreen(c) - f.green()) <= 4
                && std::abs(qBlue(c) - f.blue()) <= 4)
                return true;
        return false;
    };
    QList<QPair<int, int>> runs; // first row, length
    for (int row = 0; row < column.height();) {
        if (!isButtonFill(column.pixel(0, row))) {
            ++row;
            continue;
        }
        const int first = row;
        while (row < column.height() && isButtonFill(column.pixel(0, row)))
            ++row;
        if (row - first >= qRound(24 * s))
            runs.append({first, row - first});
    }
    if (runs.size() >= 5
        && std::abs(g.y() + runs[index].first + runs[index].second / 2 - y)
               < qRound(kButtonHeight * s))
        y = g.y() + runs[index].first + runs[index].second / 2;
    return QPoint(g.x() + g.width() / 2, y);
}

QPoint tst_E2E::infoButton() const
{
    const auto p = panel();
    if (!p)
        return {};
    const QRect g = p->geometry;
    const double s = panelScale(g);
    return QPoint(g.x() + g.width() - qRound(kMinimiseFromRight * s), g.y() + qRound(kInfoY * s));
}

void tst_E2E::closeInformationWindow()
{
    const auto info = informationWindow();
    if (!info)
        return;
    click(QPoint(info->geometry.right() - 19, info->geometry.y() + kInfoTitleHeight / 2));
    QTRY_VERIFY2_WITH_TIMEOUT(!informationWindow().has_value(),
                              "expected the information window to close", kTimeoutMs);
}

// The panel is still where it was once the program has taken every pointer
// move so far: the pointer goes onto the first palette button, which shows its
// hover fill once the program has seen it there.
void tst_E2E::verifyPanelStays(const QRect &where)
{
    // Between the button's text and its information mark, or left of its text
    // where the panel reaches beyond the screen's right edge.
    const double s = panelScale(where);
    const int y = paletteButton(AddCaliper).y();
    const QPoint onButton(where.x() + qRound(110 * s), y);
    QPoint fill(where.x() + qRound(145 * s), y);
    if (!m_x.rootGeometry().contains(fill))
        fill.setX(where.x() + qRound((kPanePadding + 15) * s));
    verifyHoverFill(onButton, fill, kPaletteButtonHover, "the hovered button's fill");
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(rectText(panel().value_or(XTopLevel()).geometry), rectText(where));
    // Off the panel again: the overlays beneath show nothing there.
    xdotool({QStringLiteral("mousemove"), QStringLiteral("300"), QStringLiteral("900")});
}

QPoint tst_E2E::closeButton() const
{
    const auto p = panel();
    if (!p)
        return {};
    const QRect g = p->geometry;
    const double s = panelScale(g);
    return QPoint(g.x() + g.width() - qRound(kCloseFromRight * s), g.y() + qRound(kCloseY * s));
}

quint32 tst_E2E::probeWindow() const
{
    return m_probeWindow;
}

// Place in the stack of the root's children, bottom first; -1 when not a mapped one.
int tst_E2E::stackIndex(quint32 window) const
{
    const QList<XTopLevel> all = m_x.topLevels();
    for (int i = 0; i < all.size(); ++i)
        if (all[i].id == window)
            return all[i].mapped ? i : -1;
    return -1;
}

// Every window of the program lies above `window`, and the panel above them all.
bool tst_E2E::programAbove(quint32 window) const
{
    const int beneath = stackIndex(window);
    const auto p = panel();
    const QList<XTopLevel> shown = programWindows();
    if (beneath < 0 || !p || shown.size() < 3)
        return false;
    const int panelIndex = stackIndex(p->id);
    for (const XTopLevel &w : shown) {
        const int i = stackIndex(w.id);
        if (i <= beneath || (w.id != p->id && i > panelIndex))
            return false;
    }
    return true;
}

bool tst_E2E::probeGot(const QPoint &p, int qtButton) const
{
    return m_probeLines.contains(
        QStringLiteral("press %1 %2 %3").arg(p.x()).arg(p.y()).arg(qtButton));
}

QString tst_E2E::probeMissed(const QPoint &p) const
{
    return QStringLiteral("expected a press at %1,%2 in the probe log, saw: %3")
        .arg(p.x())
        .arg(p.y())
        .arg(m_probeLines.join(QStringLiteral(" | ")));
}

// ---------------------------------------------------------------------------

void tst_E2E::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QFAIL("needs an X server (run through tests/support/with-xvfb.sh)");
    QVERIFY2(m_x.isOpen(), "cannot connect to the X server");
    for (const char *tool : {"xrandr", "xdotool", "wmctrl", "openbox"})
        QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(),
                 qPrintable(QStringLiteral("%1 is not installed").arg(QLatin1String(tool))));
    QVERIFY2(QFileInfo::exists(QStringLiteral(ZRN_PROGRAM)), ZRN_PROGRAM " is missing");
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("xcompmgr")).isEmpty(),
             "xcompmgr is not installed");
    QVERIFY2(!m_x.compositingManagerRunning(), "a compositing manager runs already");
    QVERIFY2(m_x.selectionOwner("WM_S0") == 0, "a window manager runs already");
    m_compositedRun = !qEnvironmentVariableIsEmpty("ZRN_E2E_COMPOSITOR");
    const QString windowManager = qEnvironmentVariable("ZRN_E2E_WM");
    if (!windowManager.isEmpty())
        QVERIFY2(!QStandardPaths::findExecutable(windowManager).isEmpty(),
                 qPrintable(windowManager + QStringLiteral(" is not installed")));

    m_artifacts = QStringLiteral(ZRN_E2E_ARTIFACTS)
                  + (m_compositedRun ? QStringLiteral("/composited") : QStringLiteral("/bare"))
                  + (windowManager.isEmpty() ? QString() : QLatin1Char('-') + windowManager)
                  + (qEnvironmentVariable("ZRN_E2E_RENDERER") == QStringLiteral("opengl")
                         ? QStringLiteral("-opengl")
                         : QString());
    QDir(m_artifacts).removeRecursively();
    if (m_compositedRun)
        startCompositor();

    const QRect root = m_x.rootGeometry();
    QVERIFY2(root.contains(kMonitorA.physical.united(kMonitorB.physical)),
             qPrintable(QStringLiteral("X screen %1 is too small for both monitors; start the "
                                       "server with --screen 3200x1080x24")
                            .arg(rectText(root))));
    setMonitor(kMonitorA, QStringLiteral("screen"));
    setMonitor(kMonitorB, QStringLiteral("none"));

    // The probe first, so that every window of the program lies above it.
    connect(&m_probe, &QProcess::readyReadStandardOutput, this, [this] {
        while (m_probe.canReadLine())
            m_probeLines << QString::fromUtf8(m_probe.readLine()).trimmed();
    });
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.remove(QStringLiteral("QT_SCREEN_SCALE_FACTORS"));
    m_probe.setProcessEnvironment(env);
    m_probe.start(QStringLiteral(ZRN_PROBE),
                  {QStringLiteral("--rect"),
                   QStringLiteral("%1,%2,%3,%4")
                       .arg(root.x())
                       .arg(root.y())
                       .arg(root.width())
                       .arg(root.height()),
                   QStringLiteral("--colour"), kProbeColour.name().mid(1)});
    QTRY_VERIFY_WITH_TIMEOUT(!m_probeLines.isEmpty(), kStartTimeoutMs);
    QVERIFY2(m_probeLines.first().startsWith(QStringLiteral("ready")),
             qPrintable(m_probeLines.first()));
    // "ready <window id>"
    m_probeWindow = m_probeLines.first().section(QLatin1Char(' '), 1, 1).toUInt();
    // A window manager stacks what it manages beneath a window of its own; the
    // probe, out of its hands, goes beneath them all.
    if (!windowManager.isEmpty()) {
        startWindowManager(windowManager);
        m_windowManaged = true;
        m_x.lower(m_probeWindow);
    }

    env.insert(QStringLiteral("QT_SCREEN_SCALE_FACTORS"), QStringLiteral("A=1;B=2"));
    // Qt Quick's software renderer, or OpenGL named as a machine with a
    // graphics card would have it (drawn here by Mesa on the processor).
    if (qEnvironmentVariable("ZRN_E2E_RENDERER") == QStringLiteral("opengl")) {
        env.remove(QStringLiteral("QT_QUICK_BACKEND"));
        env.insert(QStringLiteral("QSG_RHI_BACKEND"), QStringLiteral("opengl"));
    } else {
        env.insert(QStringLiteral("QT_QUICK_BACKEND"), QStringLiteral("software"));
    }
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    m_program.setProcessEnvironment(env);
    m_program.setProcessChannelMode(QProcess::MergedChannels);
    startProgram();
    m_started = true;
}

void tst_E2E::startProgram()
{
    m_program.start(QStringLiteral(ZRN_PROGRAM));
    QVERIFY2(m_program.waitForStarted(kStartTimeoutMs), qPrintable(m_program.errorString()));
    QTRY_VERIFY2_WITH_TIMEOUT(
        panel().has_value() && overlays().size() == 2,
        qPrintable(QStringLiteral("expected the panel and two overlays; ") + windowReport()),
        kStartTimeoutMs);
}

void tst_E2E::cleanup()
{
    if (QTest::currentTestFailed())
        saveFailureArtifacts(QString::fromLatin1(QTest::currentTestFunction()));
    // A slot that started a window manager and failed leaves the next ones without it.
    stopWindowManager();
}

void tst_E2E::saveFailureArtifacts(const QString &name)
{
    QDir().mkpath(m_artifacts);
    const QString file = QStringLiteral("%1/%2.png").arg(m_artifacts, name);
    m_x.grab(m_x.rootGeometry()).save(file);
    qInfo("screenshot: %s\n%s", qPrintable(file), qPrintable(windowReport()));
    qInfo("probe log: %s", qPrintable(m_probeLines.join(QStringLiteral(" | "))));
    qInfo("program output:\n%s", m_program.readAll().constData());
}

void tst_E2E::cleanupTestCase()
{
    if (!m_started && m_x.isOpen())
        saveFailureArtifacts(QStringLiteral("initTestCase"));
    for (QProcess *p : {&m_program, &m_probe, &m_compositor, &m_windowManager}) {
        if (p->state() != QProcess::NotRunning) {
            p->kill();
            p->waitForFinished(5000);
        }
    }
}

void tst_E2E::overlaysCoverDisplaysAndPanelIsPlaced()
{
    QTRY_COMPARE_WITH_TIMEOUT(
        overlayGeometries(),
        rectText(kMonitorA.physical) + QLatin1Char(' ') + rectText(kMonitorB.physical), kTimeoutMs);

    // First display, centred vertically, its centre at a third of the display's width.
    const QRect expected(qRound(kMonitorA.logicalWidth() / 3 - kPanelWidth / 2.0),
                         qRound((kMonitorA.logicalHeight() - kPanelHeight) / 2.0), kPanelWidth,
                         kPanelHeight);
    QTRY_COMPARE_WITH_TIMEOUT(rectText(panel().value_or(XTopLevel()).geometry), rectText(expected),
                              kTimeoutMs);

    // The panel stays above the overlays.
    const QList<XTopLevel> stack = m_x.topLevels();
    auto indexOf = [&stack](quint32 id) {
        for (int i = 0; i < stack.size(); ++i)
            if (stack[i].id == id)
                return i;
        return -1;
    };
    const int panelIndex = indexOf(panel()->id);
    for (const XTopLevel &o : overlays())
        QVERIFY2(
            indexOf(o.id) < panelIndex,
            qPrintable(QStringLiteral("expected the panel above overlay 0x%1; ").arg(o.id, 0, 16)
                       + windowReport()));
}

// Without a compositing manager a transparent pixel shows black. The panel's and
// the information window's rounded corners show what lies beneath them instead,
// and no pixel of a corner is black.
void tst_E2E::roundedCornersShowWhatLiesBeneath()
{
    const auto p = panel();
    QVERIFY(p);
    const QRect g = p->geometry;
    QTRY_VERIFY2_WITH_TIMEOUT(showsBeneathAtCorners(g) && blackCorners(g, kFrameRadius).isEmpty(),
                              qPrintable(QStringLiteral("expected the window beneath at the "
                                                        "panel's corners %1, black at [%2]")
                                             .arg(rectText(g), blackCorners(g, kFrameRadius))),
                              kTimeoutMs);
    click(infoButton());
    QTRY_VERIFY2_WITH_TIMEOUT(informationWindow().has_value(), qPrintable(windowReport()),
                              kTimeoutMs);
    const QRect info = informationWindow()->geometry;
    QTRY_VERIFY2_WITH_TIMEOUT(showsBeneathAtCorners(info)
                                  && blackCorners(info, kInfoRadius).isEmpty(),
                              qPrintable(QStringLiteral("expected the window beneath at the "
                                                        "information window's corners %1, black "
                                                        "at [%2]")
                                             .arg(rectText(info), blackCorners(info, kInfoRadius))),
                              kTimeoutMs);
    closeInformationWindow();
}

void tst_E2E::headerDragMovesThePanel_data()
{
    QTest::addColumn<QPoint>("to");       // where the pointer lets go
    QTest::addColumn<QPoint>("expected"); // the panel's corner then
    QTest::addColumn<int>("scale");       // of the display it is on then

    // The drag takes the header 60, 20 logical pixels into the panel; each row
    // starts where the one before left it, the first at 545, 345. Beyond the
    // displays the panel stops with 58 logical pixels out (its header's
    // height), above them with its top on them.
    QTest::newRow("right and down") << QPoint(755, 445) << QPoint(695, 425) << 1;
    QTest::newRow("back") << QPoint(605, 365) << QPoint(545, 345) << 1;
    QTest::newRow("out at the left") << QPoint(0, 365) << QPoint(-58, 345) << 1;
    QTest::newRow("above the top") << QPoint(605, 0) << QPoint(545, 0) << 1;
    QTest::newRow("below the bottom") << QPoint(605, 1079) << QPoint(545, 1080 - 390 + 58) << 1;
    // At scale 2 the grab point lies 120, 40 pixels into the panel, whose
    // corner lies on even pixels from the display's.
    QTest::newRow("onto the scaled display") << QPoint(2300, 366) << QPoint(2180, 326) << 2;
    QTest::newRow("out at its right") << QPoint(3199, 366) << QPoint(3200 - 380 + 116, 326) << 2;
    QTest::newRow("back from the scaled display") << QPoint(605, 365) << QPoint(545, 345) << 1;
}

// The panel follows a drag of its header by the drag's distance, on every
// desktop, and stays where the release left it.
void tst_E2E::headerDragMovesThePanel()
{
    QFETCH(QPoint, to);
    QFETCH(QPoint, expected);
    QFETCH(int, scale);
    // Under the sanitizers the program runs several times slower, and Qt 6.4's
    // xcb then now and then keeps a window that comes back from the scaled
    // display at that display's size: the runs without them take the rows
    // onto it. The row back then starts on this display, and ends where the
    // slots after it expect the panel.
    if (scale == 2 && qEnvironmentVariableIsSet("ASAN_OPTIONS"))
        QSKIP("moves onto the scaled display are checked without the sanitizers");
    const auto before = panel();
    QVERIFY(before);
    const QPoint from = before->geometry.topLeft()
                        + (QPointF(kHeaderGrab) * panelScale(before->geometry)).toPoint();
    drag(from, to, [this] { return panelCorner(); });
    if (QTest::currentTestFailed())
        return;
    const QRect moved(expected, QSize(kPanelWidth, kPanelHeight) * scale);
    QTRY_COMPARE_WITH_TIMEOUT(rectText(panel().value_or(XTopLevel()).geometry), rectText(moved),
                              kTimeoutMs);
    verifyPanelStays(moved);
}

void tst_E2E::titleDragMovesTheInformationWindow_data()
{
    QTest::addColumn<QPoint>("distance");
    // It opens to the right of the panel at 545, 345: at 747, 345, 430 x 590.
    QTest::newRow("left and up") << QPoint(-400, -200);
    QTest::newRow("right and down, out at the bottom") << QPoint(300, 150);
}

// The information window follows a drag of its title bar by the drag's
// distance and stays where the release left it.
void tst_E2E::titleDragMovesTheInformationWindow()
{
    QFETCH(QPoint, distance);
    click(infoButton());
    QTRY_VERIFY2_WITH_TIMEOUT(informationWindow().has_value(), qPrintable(windowReport()),
                              kTimeoutMs);
    const QRect opened = informationWindow()->geometry;
    const QPoint from = opened.topLeft() + kInfoGrab;
    drag(from, from + distance, [this] { return informationCorner(); });
    if (QTest::currentTestFailed())
        return;
    const QRect moved = opened.translated(distance);
    QTRY_COMPARE_WITH_TIMEOUT(rectText(informationWindow().value_or(XTopLevel()).geometry),
                              rectText(moved), kTimeoutMs);
    // Once the program has seen the pointer on the close button (its hover
    // fill), it has seen every move before: the window stayed.
    const QPoint close(moved.right() - 19, moved.y() + kInfoTitleHeight / 2);
    // Left of its focus ring, which it shows after the click that opened it.
    const QPoint fill(moved.right() - 35, moved.y() + kInfoTitleHeight / 2);
    verifyHoverFill(close, fill, kInfoCloseHover, "the close button's hover fill");
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(rectText(informationWindow().value_or(XTopLevel()).geometry), rectText(moved));
    closeInformationWindow();
}

void tst_E2E::emptyOverlayPassesClicks()
{
    const QPoint onA = kMonitorA.toPhysical(300, 900);
    const QPoint onB = kMonitorB.toPhysical(40, 450);
    // Without calipers nothing of the overlays shows, anywhere.
    verifyProbeShows({onA, onB, kMonitorA.toPhysical(1500, 300), kMonitorA.toPhysical(1000, 1070),
                      kMonitorB.toPhysical(600, 100), kMonitorB.toPhysical(320, 500)},
                     "without calipers");
    for (const QPoint &p : {onA, onB})
        QVERIFY2(!inputShapeContains(p),
                 qPrintable(QStringLiteral("expected no input shape at %1,%2 without calipers")
                                .arg(p.x())
                                .arg(p.y())));
    click(onA);
    click(onB);
    QTRY_VERIFY2_WITH_TIMEOUT(probeGot(onA, 1) && probeGot(onB, 1),
                              qPrintable(QStringLiteral("expected the probe to log presses at "
                                                        "%1,%2 and %3,%4; it logged: %5")
                                             .arg(onA.x())
                                             .arg(onA.y())
                                             .arg(onB.x())
                                             .arg(onB.y())
                                             .arg(m_probeLines.join(QStringLiteral(" | ")))),
                              kTimeoutMs);
}

void tst_E2E::addCaliperDrawsOnPanelDisplay()
{
    const Placement c = placement(m_created, kMonitorA.logicalWidth(), kMonitorA.logicalHeight());
    click(paletteButton(AddCaliper));
    ++m_created;

    const int left = int(c.startX), right = int(c.endX), y = int(c.y);
    for (int row : {200, 800}) {
        QTRY_VERIFY2_WITH_TIMEOUT(lineAt(left, row) && lineAt(right, row),
                                  qPrintable(QStringLiteral("expected caliper lines at x %1 and "
                                                            "%2 on row %3, saw [%4] and [%5]")
                                                 .arg(left)
                                                 .arg(right)
                                                 .arg(row)
                                                 .arg(around(left, row, 3, 0))
                                                 .arg(around(right, row, 3, 0))),
                                  kTimeoutMs);
    }
    const int between = left + 25;
    QVERIFY2(horizontalLineAt(between, y),
             qPrintable(QStringLiteral("expected the horizontal line at y %1, saw [%2]")
                            .arg(y)
                            .arg(around(between, y, 0, 3))));
    // Nothing drawn between the lines away from the horizontal line.
    QVERIFY2(!lineAt(between, 200, 10),
             qPrintable(QStringLiteral("expected no line around %1,200, saw [%2]")
                            .arg(between)
                            .arg(around(between, 200, 10, 0))));
    // Beside its lines, around its handles and between its end and its label,
    // the window beneath shows: only what is drawn covers it.
    const int middle = qRound((c.startX + c.endX) / 2);
    verifyProbeShows({{left + 3, 200},
                      {left - 4, 800},
                      {right + 4, 200},
                      {right - 9, 800},
                      {middle + 7, y + 7},
                      {middle + 12, y + 3},
                      {left + 6, y - 6}},
                     "beside the caliper");
    verifyProbeShows({{right + 5, y + 12}, {right + 8, y + 25}, {right + 8, y - 3}},
                     "around the label");
    // Its label box: beside the right end, below the line, one line of text ("100 px").
    const QPoint box(right + 10, y + 8);
    QVERIFY2(isLabelFill(m_x.grab(QRect(box + QPoint(2, 2), QSize(1, 1))).pixel(0, 0)),
             qPrintable(QStringLiteral("expected the label fill at %1,%2, saw [%3]")
                            .arg(box.x() + 2)
                            .arg(box.y() + 2)
                            .arg(around(box.x() + 2, box.y() + 2, 1, 1))));
}

void tst_E2E::clickOnHandleIsTakenElsewhereItPasses()
{
    const Placement c = placement(0, kMonitorA.logicalWidth(), kMonitorA.logicalHeight());
    const QPoint centreHandle(qRound((c.startX + c.endX) / 2), int(c.y));
    const QPoint onLeftLine(int(c.startX), 300);
    const QPoint beside(int(c.startX) - 12, 300); // outside the 10-pixel strip of the line
    const QPoint empty = kMonitorA.toPhysical(300, 900);

    for (const QPoint &p : {centreHandle, onLeftLine})
        QVERIFY2(inputShapeContains(p),
                 qPrintable(QStringLiteral("expected the overlay's input shape to contain %1,%2")
                                .arg(p.x())
                                .arg(p.y())));
    for (const QPoint &p : {beside, empty})
        QVERIFY2(
            !inputShapeContains(p),
            qPrintable(QStringLiteral("expected no input shape at %1,%2").arg(p.x()).arg(p.y())));

    m_probeLines.clear();
    click(centreHandle);
    click(onLeftLine);
    click(beside);
    click(empty);
    // Presses reach the probe in order: once the last one is there, any earlier
    // press that passed through would be there too.
    QTRY_VERIFY2_WITH_TIMEOUT(probeGot(empty, 1), qPrintable(probeMissed(empty)), kTimeoutMs);
    QVERIFY2(probeGot(beside, 1), qPrintable(QStringLiteral("expected the press beside the line "
                                                            "to pass through, probe saw: %1")
                                                 .arg(m_probeLines.join(QStringLiteral(" | ")))));
    QVERIFY2(!probeGot(centreHandle, 1) && !probeGot(onLeftLine, 1),
             qPrintable(QStringLiteral("expected the overlay to keep presses on the caliper, "
                                       "probe saw: %1")
                            .arg(m_probeLines.join(QStringLiteral(" | ")))));
    // The caliper is still where it was.
    QVERIFY(lineAt(int(c.startX), 200) && lineAt(int(c.endX), 200));
}

void tst_E2E::dragRightHandleMovesLine()
{
    const Placement c = placement(0, kMonitorA.logicalWidth(), kMonitorA.logicalHeight());
    const int from = int(c.endX), to = from + 100, row = 300;
    xdotool({QStringLiteral("mousemove"), QString::number(from), QString::number(row),
             QStringLiteral("mousedown"), QStringLiteral("1"), QStringLiteral("mousemove"),
             QString::number(from + 40), QString::number(row), QStringLiteral("mousemove"),
             QString::number(to), QString::number(row + 30)});
    // While the button is held the preview is drawn where the pointer is, and
    // still nothing else covers the display.
    QTRY_VERIFY2_WITH_TIMEOUT(lineAt(to, 200) && !lineAt(from, 200),
                              qPrintable(QStringLiteral("expected the preview line at x %1, saw "
                                                        "[%2]")
                                             .arg(to)
                                             .arg(around(to, 200, 3, 0))),
                              kTimeoutMs);
    verifyProbeShows({{from, 200},
                      {to + 4, 200},
                      {to - 5, 800},
                      {300, 900},
                      {1500, 100},
                      kMonitorB.toPhysical(300, 300)},
                     "while dragging");
    xdotool({QStringLiteral("mouseup"), QStringLiteral("1"), QStringLiteral("mousemove"),
             QStringLiteral("300"), QStringLiteral("900")});
    for (int r : {200, 800}) {
        QTRY_VERIFY2_WITH_TIMEOUT(lineAt(to, r) && !lineAt(from, r) && lineAt(int(c.startX), r),
                                  qPrintable(QStringLiteral("expected lines at x %1 and %2 and "
                                                            "none at %3 on row %4, saw [%5], "
                                                            "[%6], [%7]")
                                                 .arg(int(c.startX))
                                                 .arg(to)
                                                 .arg(from)
                                                 .arg(r)
                                                 .arg(around(int(c.startX), r, 3, 0))
                                                 .arg(around(to, r, 3, 0))
                                                 .arg(around(from, r, 3, 0))),
                                  kTimeoutMs);
    }
    // The horizontal line did not move with the vertical motion of the pointer.
    QVERIFY2(horizontalLineAt(to - 20, int(c.y)),
             qPrintable(QStringLiteral("expected the horizontal line at y %1, saw [%2]")
                            .arg(int(c.y))
                            .arg(around(to - 20, int(c.y), 0, 3))));
    QTRY_VERIFY2_WITH_TIMEOUT(inputShapeContains({to, row}) && !inputShapeContains({from, row}),
                              "expected the input shape to follow the moved line", kTimeoutMs);
}

// Without a compositing manager a pixel of the overlay that is shaped in but not
// drawn shows black. Sampled at every step of a held drag, back and forth, the
// screen around the caliper shows no black pixel at all: the shape follows the
// frames that draw it.
void tst_E2E::heldDragShowsNoBlack()
{
    const Placement c = placement(0, kMonitorA.logicalWidth(), kMonitorA.logicalHeight());
    const int from = int(c.endX) + 100, row = 300;
    const QRect around(int(c.startX) - 30, 80, from - int(c.startX) + 200, 920);
    xdotool({QStringLiteral("mousemove"), QString::number(from), QString::number(row),
             QStringLiteral("mousedown"), QStringLiteral("1")});
    int samples = 0;
    for (int step = 1; step <= 40; ++step) {
        // Out by up to 60 pixels and back, ending where it started.
        const int x = from + 3 * (step <= 20 ? step : 40 - step);
        xdotool({QStringLiteral("mousemove"), QString::number(x), QString::number(row)});
        const QImage image = m_x.grab(around);
        QVERIFY(!image.isNull());
        ++samples;
        for (int y = 0; y < image.height(); ++y) {
            const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
            for (int i = 0; i < image.width(); ++i) {
                const QRgb p = line[i];
                if (qRed(p) <= 2 && qGreen(p) <= 2 && qBlue(p) <= 2) {
                    xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});
                    QFAIL(qPrintable(QStringLiteral("black at %1,%2 in sample %3 of the drag")
                                         .arg(around.x() + i)
                                         .arg(around.y() + y)
                                         .arg(samples)));
                }
            }
        }
    }
    xdotool({QStringLiteral("mouseup"), QStringLiteral("1"), QStringLiteral("mousemove"),
             QStringLiteral("300"), QStringLiteral("900")});
    QTRY_VERIFY2_WITH_TIMEOUT(lineAt(from, 200, 1), "expected the line back where the drag began",
                              kTimeoutMs);
}

// The ring around a hovered part goes when the pointer leaves the caliper, on
// a bare server too, where the pointer reaches the overlay through a stand-in.
void tst_E2E::hoverRingLeavesWithThePointer()
{
    const Placement c = placement(0, kMonitorA.logicalWidth(), kMonitorA.logicalHeight());
    const QPoint centre(qRound((c.startX + c.endX + 100) / 2), int(c.y));
    // The ring's outline, 7 to 8 pixels left of the centre handle, on its row.
    const QPoint ring = centre - QPoint(8, 0) + QPoint(0, 2);
    const auto ringShown = [this, &ring] {
        const QImage px = m_x.grab(QRect(ring, QSize(1, 1)));
        return !px.isNull() && isCaliperColour(px.pixel(0, 0)) && !isProbeColour(px.pixel(0, 0));
    };
    QVERIFY2(!ringShown(), "a ring before hovering");
    xdotool({QStringLiteral("mousemove"), QString::number(centre.x() - 1),
             QString::number(centre.y())});
    xdotool(
        {QStringLiteral("mousemove"), QString::number(centre.x()), QString::number(centre.y())});
    QTRY_VERIFY2_WITH_TIMEOUT(
        ringShown(),
        qPrintable(QStringLiteral("expected the ring at %1,%2").arg(ring.x()).arg(ring.y())),
        kTimeoutMs);
    xdotool({QStringLiteral("mousemove"), QStringLiteral("300"), QStringLiteral("900")});
    QTRY_VERIFY2_WITH_TIMEOUT(!ringShown() && probeShowsAt(ring),
                              "expected the ring to go with the pointer", kTimeoutMs);
}

void tst_E2E::keysAdjustSelectedCaliper()
{
    // The caliper as the drag left it: its right line 100 pixels further out.
    const Placement c = placement(0, kMonitorA.logicalWidth(), kMonitorA.logicalHeight());
    const int left = int(c.startX), right = int(c.endX) + 100, row = 300;
    const auto linesAt = [this](int l, int r) {
        return QStringLiteral("[%1] and [%2]").arg(around(l, 200, 3, 0), around(r, 200, 3, 0));
    };

    // Pressing the caliper selects it and gives the panel the keyboard.
    click({left, row});
    xdotool({QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("30"),
             QStringLiteral("Right"), QStringLiteral("Right"), QStringLiteral("Right"),
             QStringLiteral("shift+Right")});
    QTRY_VERIFY2_WITH_TIMEOUT(lineAt(right + 13, 200, 1) && !lineAt(right, 200, 1)
                                  && lineAt(left, 200, 1),
                              qPrintable(QStringLiteral("expected the right line 13 pixels out "
                                                        "at %1, saw %2")
                                             .arg(right + 13)
                                             .arg(linesAt(left, right + 13))),
                              kTimeoutMs);
    // Ctrl moves the whole caliper; the input shape follows at once.
    xdotool({QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("30"),
             QStringLiteral("ctrl+Left"), QStringLiteral("ctrl+Left")});
    QTRY_VERIFY2_WITH_TIMEOUT(lineAt(left - 2, 200, 1) && lineAt(right + 11, 200, 1),
                              qPrintable(QStringLiteral("expected lines at %1 and %2, saw %3")
                                             .arg(left - 2)
                                             .arg(right + 11)
                                             .arg(linesAt(left - 2, right + 11))),
                              kTimeoutMs);
    QTRY_VERIFY2_WITH_TIMEOUT(inputShapeContains({right + 11, row}),
                              "expected the input shape to follow the keys", kTimeoutMs);
    // Back where the drag left it, for the tests that follow.
    xdotool({QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("30"),
             QStringLiteral("ctrl+Right"), QStringLiteral("ctrl+Right"),
             QStringLiteral("shift+Left"), QStringLiteral("Left"), QStringLiteral("Left"),
             QStringLiteral("Left")});
    QTRY_VERIFY2_WITH_TIMEOUT(lineAt(left, 200, 1) && lineAt(right, 200, 1)
                                  && !lineAt(right + 13, 200, 1),
                              qPrintable(QStringLiteral("expected lines back at %1 and %2, saw %3")
                                             .arg(left)
                                             .arg(right)
                                             .arg(linesAt(left, right))),
                              kTimeoutMs);
}

void tst_E2E::rightClickRemovesCaliper()
{
    const Placement c = placement(0, kMonitorA.logicalWidth(), kMonitorA.logicalHeight());
    const int right = int(c.endX) + 100;
    m_probeLines.clear();
    click({right, 300}, 3);
    QTRY_VERIFY2_WITH_TIMEOUT(!lineAt(int(c.startX), 200) && !lineAt(right, 200),
                              qPrintable(QStringLiteral("expected no caliper lines at x %1 and "
                                                        "%2, saw [%3] and [%4]")
                                             .arg(int(c.startX))
                                             .arg(right)
                                             .arg(around(int(c.startX), 200, 3, 0))
                                             .arg(around(right, 200, 3, 0))),
                              kTimeoutMs);
    QTRY_VERIFY2_WITH_TIMEOUT(!inputShapeContains({right, 300})
                                  && !inputShapeContains({int(c.startX), 300}),
                              "expected no input shape left where the caliper was", kTimeoutMs);
    QVERIFY2(!probeGot({right, 300}, 2), "the right click reached the probe");
}

void tst_E2E::referenceGivesTwoLineLabel()
{
    const double W = kMonitorA.logicalWidth(), H = kMonitorA.logicalHeight();
    const Placement ref = placement(m_created, W, H);
    click(paletteButton(Reference));
    ++m_created;
    QTRY_VERIFY2_WITH_TIMEOUT(horizontalLineAt(int(ref.startX) + 20, int(ref.y)),
                              qPrintable(QStringLiteral("expected the reference line at y %1, "
                                                        "saw [%2]")
                                             .arg(int(ref.y))
                                             .arg(around(int(ref.startX) + 20, int(ref.y), 0, 3))),
                              kTimeoutMs);
    const Placement c = placement(m_created, W, H);
    click(paletteButton(AddCaliper));
    ++m_created;
    QTRY_VERIFY2_WITH_TIMEOUT(lineAt(int(c.startX), 200) && lineAt(int(c.endX), 200),
                              qPrintable(QStringLiteral("expected caliper lines at x %1 and %2, "
                                                        "saw [%3] and [%4]")
                                             .arg(int(c.startX))
                                             .arg(int(c.endX))
                                             .arg(around(int(c.startX), 200, 3, 0))
                                             .arg(around(int(c.endX), 200, 3, 0))),
                              kTimeoutMs);

    // Calibrated, its label has two lines ("1000 ms", "60 bpm"): a box of
    // 2 × 15 + 8 = 38 rows, 10 right of its end. Eight below its line it would
    // cover the reference's label, 18 pixels above, so it moves down by one box
    // and 2 pixels: both labels are whole.
    const int boxHeight = 2 * 15 + 8;
    const QPoint box(int(c.endX) + 10, int(c.y) + 8 + boxHeight + 2);
    const QPoint refBox(int(ref.endX) + 10, int(ref.y) + 8);
    const QImage img = m_x.grab(QRect(box - QPoint(4, 0), QSize(64, boxHeight + 6)));
    auto at = [&img, &box](int x, int y) { return img.pixel(x - box.x() + 4, y - box.y()); };
    const QImage refImg = m_x.grab(QRect(refBox, QSize(1, boxHeight)));
    // All of it but where the new caliper's line, drawn later, crosses it.
    for (int y = 0; y < boxHeight; ++y)
        QVERIFY2(std::abs(refBox.y() + y - int(c.y)) <= 1 || isLabelFill(refImg.pixel(0, y)),
                 qPrintable(QStringLiteral("expected the reference's label whole at %1,%2")
                                .arg(refBox.x())
                                .arg(refBox.y() + y)));
    // The left margin of the box (text starts 6 in), down to its last row.
    for (int y = box.y(); y < box.y() + boxHeight; ++y)
        QVERIFY2(isLabelFill(at(box.x() + 1, y)) && isLabelFill(at(box.x() + 4, y)),
                 qPrintable(QStringLiteral("expected the label fill at %1..%2,%3, saw [%4]")
                                .arg(box.x() + 1)
                                .arg(box.x() + 4)
                                .arg(y)
                                .arg(around(box.x() + 2, y, 2, 0))));
    for (int y = box.y() + boxHeight + 1; y < box.y() + boxHeight + 6; ++y)
        QVERIFY2(!isLabelFill(at(box.x() + 2, y)),
                 qPrintable(QStringLiteral("expected the label box to end above row %1, saw "
                                           "[%2] at %3,%1")
                                .arg(y)
                                .arg(QColor(at(box.x() + 2, y)).name())
                                .arg(box.x() + 2)));
    QVERIFY2(!isLabelFill(at(box.x() - 3, box.y() + boxHeight - 4)),
             qPrintable(QStringLiteral("expected the label box to start at x %1, saw fill at %2")
                            .arg(box.x())
                            .arg(box.x() - 3)));
    // Text in the second line of the box.
    bool text = false;
    for (int y = box.y() + 19; y < box.y() + 34 && !text; ++y)
        for (int x = box.x() + 6; x < box.x() + 40 && !text; ++x)
            text = isLabelText(at(x, y));
    QVERIFY2(text, qPrintable(QStringLiteral("expected label text in %1")
                                  .arg(rectText(QRect(box.x() + 6, box.y() + 19, 34, 15)))));
}

void tst_E2E::compositingManagerComesAndGoes()
{
    // The standard caliper added last, on the first display.
    const Placement c
        = placement(m_created - 1, kMonitorA.logicalWidth(), kMonitorA.logicalHeight());
    const int left = int(c.startX);
    const QPoint beside(left + 3, 200); // in the caliper's input strip, not drawn
    const QPoint press(left + 3, 300);
    const QPoint empty = kMonitorA.toPhysical(300, 900);
    const auto overlayA = [this] {
        const QList<XTopLevel> list = overlays();
        return list.isEmpty() ? quint32(0) : list.first().id;
    };
    const auto shownAt = [this, &overlayA](const QPoint &p) {
        for (const QRect &r : m_x.boundingShape(overlayA()))
            if (r.contains(p))
                return true;
        return false;
    };
    const auto check = [&](bool composited) {
        // Under a compositing manager the overlay keeps its mask, paint strips and
        // all; without one it is shaped to what it draws.
        QTRY_COMPARE_WITH_TIMEOUT(shownAt(beside), composited, kTimeoutMs);
        QTRY_VERIFY2_WITH_TIMEOUT(lineAt(left, 200) && probeShowsAt(beside),
                                  qPrintable(QStringLiteral("expected the line at x %1 and the "
                                                            "window beneath beside it, saw [%2]")
                                                 .arg(left)
                                                 .arg(around(left, 200, 4, 0))),
                                  kTimeoutMs);
        // Either way the overlay takes the press beside its line.
        m_probeLines.clear();
        click(press);
        click(empty);
        QTRY_VERIFY2_WITH_TIMEOUT(probeGot(empty, 1), qPrintable(probeMissed(empty)), kTimeoutMs);
        QVERIFY2(!probeGot(press, 1),
                 qPrintable(QStringLiteral("expected the overlay to keep the press at %1,%2, "
                                           "probe saw: %3")
                                .arg(press.x())
                                .arg(press.y())
                                .arg(m_probeLines.join(QStringLiteral(" | ")))));
    };

    // As the run began, with the compositor switched the other way, and back again.
    for (const bool composited : {m_compositedRun, !m_compositedRun, m_compositedRun}) {
        const bool running = m_compositor.state() != QProcess::NotRunning;
        if (composited && !running)
            startCompositor();
        else if (!composited && running)
            stopCompositor();
        if (QTest::currentTestFailed())
            return;
        check(composited);
        if (QTest::currentTestFailed())
            return;
    }
}

void tst_E2E::scaledDisplayTakesMouseWhereDrawn()
{
    const auto before = panel();
    QVERIFY(before);
    // No window manager: the panel is moved the way one would, with a configure request.
    const QPoint target = kMonitorB.physical.topLeft() + QPoint(10, 100);
    xdotool({QStringLiteral("windowmove"), QString::number(before->id), QString::number(target.x()),
             QString::number(target.y())});
    QTRY_COMPARE_WITH_TIMEOUT(panel().value_or(XTopLevel()).geometry.topLeft(), target, kTimeoutMs);
    // On the scaled display the panel keeps its logical size, so it doubles in device
    // pixels; the Standard caliper pressed last is selected, so it shows its interval count.
    QTRY_COMPARE_WITH_TIMEOUT(panel().value_or(XTopLevel()).geometry.size(),
                              QSize(190, kPanelHeight + kIntervalRowHeight) * kMonitorB.scale,
                              kTimeoutMs);

    const Placement c = placement(m_created, kMonitorB.logicalWidth(), kMonitorB.logicalHeight());
    click(paletteButton(AddCaliper));
    ++m_created;
    const QPoint left = kMonitorB.toPhysical(c.startX, 150);
    const QPoint right = kMonitorB.toPhysical(c.endX, 150);
    const int lowRow = kMonitorB.toPhysical(0, 400).y();
    for (int row : {left.y(), lowRow})
        QTRY_VERIFY2_WITH_TIMEOUT(lineAt(left.x(), row) && lineAt(right.x(), row),
                                  qPrintable(QStringLiteral("expected caliper lines at x %1 and "
                                                            "%2 on row %3, saw [%4] and [%5]")
                                                 .arg(left.x())
                                                 .arg(right.x())
                                                 .arg(row)
                                                 .arg(around(left.x(), row, 3, 0))
                                                 .arg(around(right.x(), row, 3, 0))),
                                  kTimeoutMs);
    // Drawn 2 pixels wide at scale 2.
    const QImage line = m_x.grab(QRect(left.x() - 4, left.y(), 9, 1));
    int covered = 0;
    for (int i = 0; i < line.width(); ++i)
        covered += isCaliperColour(line.pixel(i, 0)) ? 1 : 0;
    QVERIFY2(covered >= 2 && covered <= 3,
             qPrintable(QStringLiteral("expected a line 2 pixels wide at x %1, saw [%2]")
                            .arg(left.x())
                            .arg(colourList(line))));

    // Its input strip is the drawn line ± 5 logical pixels: 3 logical pixels
    // (6 physical) to either side of the drawn line the overlay takes the press,
    // 8 logical pixels (16 physical) away it passes through.
    const QList<QPoint> taken{left - QPoint(6, 0), left, left + QPoint(6, 0)};
    const QList<QPoint> passed{left - QPoint(16, 0), left + QPoint(16, 0)};
    // Below the panel, which reaches 469 logical pixels down (from 50) with the
    // interval count of the selected caliper.
    const QPoint empty = kMonitorB.toPhysical(40, 490);
    for (const QPoint &p : taken)
        QVERIFY2(inputShapeContains(p),
                 qPrintable(QStringLiteral("expected the input shape to contain %1,%2 (line "
                                           "drawn at x %3)")
                                .arg(p.x())
                                .arg(p.y())
                                .arg(left.x())));
    for (const QPoint &p : passed)
        QVERIFY2(!inputShapeContains(p),
                 qPrintable(QStringLiteral("expected no input shape at %1,%2 (line drawn at x %3)")
                                .arg(p.x())
                                .arg(p.y())
                                .arg(left.x())));
    m_probeLines.clear();
    for (const QPoint &p : taken + passed)
        click(p);
    click(empty);
    QTRY_VERIFY2_WITH_TIMEOUT(probeGot(empty, 1), qPrintable(probeMissed(empty)), kTimeoutMs);
    for (const QPoint &p : taken)
        QVERIFY2(!probeGot(p, 1),
                 qPrintable(QStringLiteral("expected the overlay to keep the press at %1,%2, "
                                           "probe saw: %3")
                                .arg(p.x())
                                .arg(p.y())
                                .arg(m_probeLines.join(QStringLiteral(" | ")))));
    for (const QPoint &p : passed)
        QVERIFY2(probeGot(p, 1),
                 qPrintable(QStringLiteral("expected the press at %1,%2 to pass through, probe "
                                           "saw: %3")
                                .arg(p.x())
                                .arg(p.y())
                                .arg(m_probeLines.join(QStringLiteral(" | ")))));

    // Dragging the right line by 100 physical pixels moves it by exactly that.
    const QPoint to = right + QPoint(100, 0);
    xdotool({QStringLiteral("mousemove"), QString::number(right.x()), QString::number(right.y()),
             QStringLiteral("mousedown"), QStringLiteral("1"), QStringLiteral("mousemove"),
             QString::number(right.x() + 50), QString::number(right.y()),
             QStringLiteral("mousemove"), QString::number(to.x()), QString::number(to.y()),
             QStringLiteral("mouseup"), QStringLiteral("1"), QStringLiteral("mousemove"),
             QString::number(empty.x()), QString::number(empty.y())});
    QTRY_VERIFY2_WITH_TIMEOUT(lineAt(to.x(), lowRow) && !lineAt(right.x(), lowRow)
                                  && lineAt(left.x(), lowRow),
                              qPrintable(QStringLiteral("expected lines at x %1 and %2 and none at "
                                                        "%3, saw [%4], [%5], [%6]")
                                             .arg(left.x())
                                             .arg(to.x())
                                             .arg(right.x())
                                             .arg(around(left.x(), lowRow, 3, 0))
                                             .arg(around(to.x(), lowRow, 3, 0))
                                             .arg(around(right.x(), lowRow, 3, 0))),
                              kTimeoutMs);
}

// The monitor under the panel is unplugged: the panel comes whole onto the one
// that is left, at its size there, as near as it can to where it was.
void tst_E2E::panelMovesOntoARemainingDisplay()
{
    // Onto the scaled display first, by its header.
    const auto before = panel();
    QVERIFY(before);
    // Its logical size, which grows with what the panel shows (a selected
    // Standard caliper's interval count).
    const QSize size = (QSizeF(before->geometry.size()) / panelScale(before->geometry)).toSize();
    // High enough on B that the panel fits there whatever it shows.
    const QPoint pointer(2300, 200);
    drag(before->geometry.topLeft()
             + (QPointF(kHeaderGrab) * panelScale(before->geometry)).toPoint(),
         pointer, [this] { return panelCorner(); });
    if (QTest::currentTestFailed())
        return;
    const QRect onB(pointer - kHeaderGrab * kMonitorB.scale, size * kMonitorB.scale);
    QTRY_COMPARE_WITH_TIMEOUT(rectText(panel().value_or(XTopLevel()).geometry), rectText(onB),
                              kTimeoutMs);

    QVERIFY(run(QStringLiteral("xrandr"),
                {QStringLiteral("--delmonitor"), QString::fromLatin1(kMonitorB.name)}));
    m_secondMonitor = false;
    QTRY_COMPARE_WITH_TIMEOUT(overlayGeometries(), rectText(kMonitorA.physical), kTimeoutMs);
    // A window manager may put it elsewhere on the display; without one it
    // goes to the nearest place there.
    const auto wholeOnA = [this, size] {
        const QRect g = panel().value_or(XTopLevel()).geometry;
        return kMonitorA.physical.contains(g) && g.size() == size;
    };
    QTRY_VERIFY2_WITH_TIMEOUT(wholeOnA(), qPrintable(windowReport()), kTimeoutMs);
    QRect onA = panel()->geometry;
    if (!m_windowManaged)
        QCOMPARE(rectText(onA), rectText(QRect(kMonitorA.physical.right() + 1 - size.width(),
                                               onB.y(), size.width(), size.height())));
    // Drawn at that size: its corners show what lies beneath, and it takes the
    // pointer where its buttons are drawn.
    QTRY_VERIFY2_WITH_TIMEOUT(
        showsBeneathAtCorners(onA) && blackCorners(onA, kFrameRadius).isEmpty(),
        qPrintable(QStringLiteral("expected the panel's corners at %1").arg(rectText(onA))),
        kTimeoutMs);
    verifyPanelStays(onA);

    setMonitor(kMonitorB, QStringLiteral("none"));
    m_secondMonitor = true;
    QTRY_COMPARE_WITH_TIMEOUT(
        overlayGeometries(),
        rectText(kMonitorA.physical) + QLatin1Char(' ') + rectText(kMonitorB.physical), kTimeoutMs);
}

void tst_E2E::hotPlugRebuildsOverlaysAndKeepsCalipers()
{
    const double W = kMonitorA.logicalWidth(), H = kMonitorA.logicalHeight();
    const Placement onA = placement(2, W, H);
    const Placement onB = placement(3, kMonitorB.logicalWidth(), kMonitorB.logicalHeight());
    const QPoint bLeft = kMonitorB.toPhysical(onB.startX, 400);
    const QPoint bRight = kMonitorB.toPhysical(onB.endX, 400) + QPoint(100, 0);
    // The slot before gave the display back: its overlay may still be drawing.
    QTRY_VERIFY2_WITH_TIMEOUT(lineAt(bLeft.x(), bLeft.y()) && lineAt(bRight.x(), bRight.y()),
                              "expected the caliper on the scaled display before the hot-plug",
                              kTimeoutMs);

    // The panel goes back to the first monitor before the second is unplugged: with
    // Qt 6.4 on X11, a window that is moved between scales by unplugging and
    // re-plugging its monitor can be left drawn at the old size.
    const auto before = panel();
    QVERIFY(before);
    xdotool({QStringLiteral("windowmove"), QString::number(before->id), QStringLiteral("545"),
             QStringLiteral("345")});
    // The Standard caliper on B is selected: the panel shows its interval count.
    QTRY_COMPARE_WITH_TIMEOUT(panel().value_or(XTopLevel()).geometry,
                              QRect(545, 345, 190, kPanelHeight + kIntervalRowHeight), kTimeoutMs);

    QVERIFY(run(QStringLiteral("xrandr"),
                {QStringLiteral("--delmonitor"), QString::fromLatin1(kMonitorB.name)}));
    m_secondMonitor = false;
    QTRY_COMPARE_WITH_TIMEOUT(overlayGeometries(), rectText(kMonitorA.physical), kTimeoutMs);
    QCOMPARE(m_program.state(), QProcess::Running);
    for (int row : {200, 800})
        QTRY_VERIFY2_WITH_TIMEOUT(lineAt(int(onA.startX), row) && lineAt(int(onA.endX), row),
                                  qPrintable(QStringLiteral("expected the caliper on the first "
                                                            "display to stay at x %1 and %2, saw "
                                                            "[%3] and [%4]")
                                                 .arg(int(onA.startX))
                                                 .arg(int(onA.endX))
                                                 .arg(around(int(onA.startX), row, 3, 0))
                                                 .arg(around(int(onA.endX), row, 3, 0))),
                                  kTimeoutMs);

    setMonitor(kMonitorB, QStringLiteral("none"));
    m_secondMonitor = true;
    QTRY_COMPARE_WITH_TIMEOUT(
        overlayGeometries(),
        rectText(kMonitorA.physical) + QLatin1Char(' ') + rectText(kMonitorB.physical), kTimeoutMs);
    QTRY_VERIFY2_WITH_TIMEOUT(lineAt(bLeft.x(), bLeft.y()) && lineAt(bRight.x(), bRight.y()),
                              qPrintable(QStringLiteral("expected the caliper back at x %1 and %2 "
                                                        "on the returned display, saw [%3] and "
                                                        "[%4]")
                                             .arg(bLeft.x())
                                             .arg(bRight.x())
                                             .arg(around(bLeft.x(), bLeft.y(), 3, 0))
                                             .arg(around(bRight.x(), bRight.y(), 3, 0))),
                              kTimeoutMs);
    QVERIFY(lineAt(int(onA.startX), 200) && lineAt(int(onA.endX), 200));
    QCOMPARE(m_program.state(), QProcess::Running);
}

// A reference of 1000 ms, and a Standard caliper laid over three of its
// widths and given three intervals with the + key: its label reads the total,
// the count, the mean and the rate of the mean, as read from the screen.
void tst_E2E::meanOfThreeIntervalsOnScreen()
{
    const double W = kMonitorA.logicalWidth(), H = kMonitorA.logicalHeight();
    const Placement ref = placement(m_created, W, H);
    click(paletteButton(Reference)); // 100 pixels for the 1000 ms the selector shows
    ++m_created;
    QTRY_VERIFY2_WITH_TIMEOUT(horizontalLineAt(int(ref.startX) + 20, int(ref.y)),
                              "expected the new reference", kTimeoutMs);
    const Placement c = placement(m_created, W, H);
    click(paletteButton(AddCaliper));
    ++m_created;
    QTRY_VERIFY2_WITH_TIMEOUT(lineAt(int(c.endX), 200), "expected the new caliper", kTimeoutMs);

    // Pressed, it takes the keyboard: 300 pixels right, clear of the other
    // calipers and their labels, and 200 pixels wider: 3000 ms.
    click({int(c.startX), 300});
    QStringList keys{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("20")};
    for (int i = 0; i < 30; ++i)
        keys << QStringLiteral("ctrl+shift+Right");
    for (int i = 0; i < 20; ++i)
        keys << QStringLiteral("shift+Right");
    xdotool(keys);
    const int left = int(c.startX) + 300, right = left + 300;
    QTRY_VERIFY2_WITH_TIMEOUT(lineAt(left, 200, 1) && lineAt(right, 200, 1),
                              qPrintable(QStringLiteral("expected lines at %1 and %2, saw [%3] "
                                                        "and [%4]")
                                             .arg(left)
                                             .arg(right)
                                             .arg(around(left, 200, 3, 0))
                                             .arg(around(right, 200, 3, 0))),
                              kTimeoutMs);
    const QPoint box(right + 10, int(c.y) + 8);
    const QStringList candidates{
        QStringLiteral("3000 ms\n20 bpm"),
        QStringLiteral("3000 ms / 2 = 1500 ms\n40 bpm"),
        QStringLiteral("3000 ms / 3 = 1000 ms\n60 bpm"),
        QStringLiteral("3000 ms / 3 = 1001 ms\n60 bpm"),
        QStringLiteral("3000 ms / 4 = 750 ms\n80 bpm"),
        QStringLiteral("2990 ms / 3 = 997 ms\n60 bpm"),
    };
    double likeness = 0;
    QTRY_COMPARE_WITH_TIMEOUT(readLabel(box, candidates, &likeness), candidates.at(0), kTimeoutMs);

    xdotool({QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("30"),
             QStringLiteral("plus"), QStringLiteral("plus")});
    QTRY_COMPARE_WITH_TIMEOUT(readLabel(box, candidates, &likeness), candidates.at(2), kTimeoutMs);
    // Read as the best of the texts that fit the box, some a digit apart: drawn
    // alike, the letters differ only at their edges, where the screen shows them
    // a little softer.
    QVERIFY2(
        likeness > 0.8,
        qPrintable(
            QStringLiteral("the label's letters match only %1 of the expected").arg(likeness)));
}

void tst_E2E::overlaysNameTheirDisplaysAndStayOutOfLists()
{
    // Titles of their own, so that a window list or `wmctrl -c "ZRN Calipers"`
    // never takes an overlay for the panel; kept out of taskbars and pagers, and
    // never given the keyboard (so also out of window switchers).
    QTRY_COMPARE_WITH_TIMEOUT(overlays().size(), 2, kTimeoutMs);
    const QList<XTopLevel> shown = overlays();
    const QStringList names{QStringLiteral("A"), QStringLiteral("B")};
    for (int i = 0; i < shown.size(); ++i) {
        const XTopLevel &w = shown[i];
        QCOMPARE(w.title, QStringLiteral("Caliper overlay on %1").arg(names[i]));
        for (const char *state : {"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"})
            QVERIFY2(w.states.contains(QLatin1String(state)),
                     qPrintable(
                         QStringLiteral("%1 lacks %2: [%3]")
                             .arg(w.title, QLatin1String(state), w.states.join(QLatin1Char(',')))));
    }
    const auto p = panel();
    QVERIFY(p);
    QVERIFY2(!p->states.contains(QStringLiteral("_NET_WM_STATE_SKIP_TASKBAR")),
             "the panel belongs in the taskbar");
}

void tst_E2E::coveredOverlaysComeBackOnTop_data()
{
    QTest::addColumn<bool>("newWindow");
    QTest::newRow("another program's window raised") << false;
    QTest::newRow("another program's window mapped later") << true;
}

// Without a window manager nobody keeps a window on top: the program raises its
// windows above one that covers them, and leaves the keyboard where it was.
void tst_E2E::coveredOverlaysComeBackOnTop()
{
    QFETCH(bool, newWindow);
    if (m_x.windowManagerRunning())
        QSKIP("a window manager keeps the overlays on top here");
    const quint32 focus = m_x.inputFocus();
    // Another program's ordinary window (a menu or tooltip, override-redirect,
    // is left alone).
    QProcess other;
    other.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    other.start(QStringLiteral(ZRN_PROBE),
                {QStringLiteral("--rect"), QStringLiteral("200,200,600,400"),
                 QStringLiteral("--colour"), QStringLiteral("a03c3c"),
                 QStringLiteral("--managed")});
    QTRY_VERIFY_WITH_TIMEOUT(other.canReadLine(), kStartTimeoutMs);
    const quint32 covering
        = QString::fromUtf8(other.readLine()).section(QLatin1Char(' '), 1, 1).toUInt();
    QVERIFY(covering != 0);
    const auto programAboveIt = [&] {
        QTRY_VERIFY2_WITH_TIMEOUT(programAbove(covering),
                                  qPrintable(QStringLiteral("expected every window of the program "
                                                            "above 0x%1; ")
                                                 .arg(covering, 0, 16)
                                             + windowReport()),
                                  kTimeoutMs);
    };
    if (!newWindow) {
        // Once beneath, raised over them.
        programAboveIt();
        if (QTest::currentTestFailed())
            return;
        xdotool({QStringLiteral("windowraise"), QString::number(covering)});
    }
    programAboveIt();
    QCOMPARE(m_x.inputFocus(), focus);
    other.kill();
    other.waitForFinished(kTimeoutMs);
}

void tst_E2E::lostOverlayIsMadeAgain_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("unmapped by another program") << QStringLiteral("windowunmap");
    QTest::newRow("destroyed by another program") << QStringLiteral("windowclose");
}

// An overlay taken off the screen behind the program's back comes back, with
// its calipers, under the panel.
void tst_E2E::lostOverlayIsMadeAgain()
{
    QFETCH(QString, command);
    if (m_x.windowManagerRunning())
        QSKIP("a window manager would take the unmapped window back itself");
    const Placement onA = placement(2, kMonitorA.logicalWidth(), kMonitorA.logicalHeight());
    QTRY_VERIFY(lineAt(int(onA.startX), 200));
    const QList<XTopLevel> before = overlays();
    QCOMPARE(before.size(), 2);
    // xdotool waits until the server has done it.
    xdotool({command, QString::number(before[0].id)});
    QTRY_VERIFY2_WITH_TIMEOUT(
        overlayGeometries()
                == rectText(kMonitorA.physical) + QLatin1Char(' ') + rectText(kMonitorB.physical)
            && lineAt(int(onA.startX), 200) && lineAt(int(onA.endX), 200),
        qPrintable(QStringLiteral("expected the overlay of A back with its caliper at x %1; ")
                       .arg(int(onA.startX))
                   + windowReport()),
        kTimeoutMs);
    QTRY_VERIFY2_WITH_TIMEOUT(programAbove(probeWindow()), qPrintable(windowReport()), kTimeoutMs);
    QCOMPARE(m_program.state(), QProcess::Running);
}

// Under a window manager: close requests to the overlays change nothing, and an
// overlay the window manager minimises comes back. The close request to the
// information window shows when the program has handled the ones before it: the
// window manager passes them on in order.
void tst_E2E::windowManagerCannotCloseOrHideOverlays()
{
    const Placement onA = placement(2, kMonitorA.logicalWidth(), kMonitorA.logicalHeight());
    // Openbox stacks an undecorated window exactly as large as the screen (the
    // probe) like a full-screen one, above the windows that stay on top: one pixel
    // less keeps the probe an ordinary window beneath them.
    const QRect root = m_x.rootGeometry();
    xdotool({QStringLiteral("windowsize"), QString::number(probeWindow()),
             QString::number(root.width()), QString::number(root.height() - 1)});
    startWindowManager();
    const QString overlayA = QStringLiteral("Caliper overlay on A");
    const QString overlayB = QStringLiteral("Caliper overlay on B");
    const QString panelTitle = QStringLiteral("ZRN Calipers");
    const QString about = QStringLiteral("About ZRN Calipers");
    QTRY_VERIFY2_WITH_TIMEOUT(
        managedWindows().contains(panelTitle) && managedWindows().contains(overlayA)
            && managedWindows().contains(overlayB),
        qPrintable(output(QStringLiteral("wmctrl"), {QStringLiteral("-l")})), kStartTimeoutMs);
    const QMap<QString, quint32> before = managedWindows();
    // The panel takes the focus for the click below.
    QVERIFY(
        run(QStringLiteral("wmctrl"), {QStringLiteral("-F"), QStringLiteral("-a"), panelTitle}));
    QTRY_COMPARE_WITH_TIMEOUT(m_x.inputFocus(), before.value(panelTitle), kTimeoutMs);

    // The information window, from the panel's "i".
    xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"),
             QString::number(before.value(panelTitle)), QStringLiteral("143"), QStringLiteral("39"),
             QStringLiteral("click"), QStringLiteral("1")});
    QTRY_VERIFY2_WITH_TIMEOUT(managedWindows().contains(about),
                              "the information window did not open", kTimeoutMs);

    xdotool({QStringLiteral("windowminimize"), QString::number(before.value(overlayA))});
    for (const QString &title : {overlayA, overlayB, about})
        QVERIFY(run(QStringLiteral("wmctrl"), {QStringLiteral("-F"), QStringLiteral("-c"), title}));
    QTRY_VERIFY2_WITH_TIMEOUT(!managedWindows().contains(about),
                              "the information window did not close", kTimeoutMs);

    for (const QString &title : {overlayA, overlayB}) {
        const quint32 id = before.value(title);
        QTRY_VERIFY2_WITH_TIMEOUT(
            managedWindows().value(title) == id && m_x.window(id).value_or(XTopLevel()).mapped
                && !m_x.window(id)
                        .value_or(XTopLevel())
                        .states.contains(QStringLiteral("_NET_WM_STATE_HIDDEN")),
            qPrintable(QStringLiteral("%1 (0x%2) is gone or hidden: %3")
                           .arg(title)
                           .arg(id, 0, 16)
                           .arg(output(QStringLiteral("wmctrl"), {QStringLiteral("-l")}))),
            kTimeoutMs);
    }
    QTRY_VERIFY2_WITH_TIMEOUT(lineAt(int(onA.startX), 200) && lineAt(int(onA.endX), 200),
                              "the calipers of A are not shown", kTimeoutMs);
    QCOMPARE(m_program.state(), QProcess::Running);

    stopWindowManager();
    xdotool({QStringLiteral("windowsize"), QString::number(probeWindow()),
             QString::number(root.width()), QString::number(root.height())});
    QTRY_COMPARE_WITH_TIMEOUT(
        overlayGeometries(),
        rectText(kMonitorA.physical) + QLatin1Char(' ') + rectText(kMonitorB.physical), kTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(panel().has_value(), kTimeoutMs);
}

// A second start on the same display shows the first one's panel, even from
// beneath every other window, and ends at once with 0: still one panel, and
// the same two overlays.
void tst_E2E::secondStartHandsOverToTheFirst()
{
    const auto p = panel();
    QVERIFY(p);
    const quint32 probe = probeWindow();
    m_x.lower(p->id);
    QTRY_VERIFY_WITH_TIMEOUT(stackIndex(p->id) >= 0 && stackIndex(p->id) < stackIndex(probe),
                             kTimeoutMs);

    QProcess second;
    second.setProcessEnvironment(m_program.processEnvironment());
    second.setProcessChannelMode(QProcess::MergedChannels);
    second.start(QStringLiteral(ZRN_PROGRAM));
    QVERIFY2(second.waitForFinished(kStartTimeoutMs), "the second start kept running");
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);

    QTRY_VERIFY2_WITH_TIMEOUT(
        programAbove(probe),
        qPrintable(QStringLiteral("expected the panel raised; ") + windowReport()), kTimeoutMs);
    int panels = 0, overlayWindows = 0;
    for (const XTopLevel &w : m_x.topLevels()) {
        if (!w.mapped)
            continue;
        panels += w.title == QStringLiteral("ZRN Calipers") ? 1 : 0;
        overlayWindows += w.types.value(0) == QStringLiteral("_NET_WM_WINDOW_TYPE_UTILITY") ? 1 : 0;
    }
    QCOMPARE(panels, 1);
    QCOMPARE(overlayWindows, 2);
    QCOMPARE(panel().value_or(XTopLevel()).id, p->id);
}

void tst_E2E::closingPanelExitsWithZero_data()
{
    QTest::addColumn<bool>("windowManager");
    QTest::newRow("the panel's close button") << false;
    QTest::newRow("a close request from the window manager") << true;
}

void tst_E2E::closingPanelExitsWithZero()
{
    QFETCH(bool, windowManager);
    if (m_program.state() == QProcess::NotRunning)
        startProgram();
    if (windowManager) {
        // `wmctrl -c`: the window manager's close request, WM_DELETE_WINDOW.
        startWindowManager();
        QTRY_VERIFY_WITH_TIMEOUT(managedWindows().contains(QStringLiteral("ZRN Calipers")),
                                 kStartTimeoutMs);
        QVERIFY(run(QStringLiteral("wmctrl"),
                    {QStringLiteral("-F"), QStringLiteral("-c"), QStringLiteral("ZRN Calipers")}));
    } else {
        // After a hot-plug the panel follows its display's scale a moment later;
        // wait until it is drawn at the scale of the monitor under it.
        const auto settled = [this] {
            const auto p = panel();
            if (!p)
                return false;
            const bool onB = m_secondMonitor && kMonitorB.physical.contains(p->geometry.topLeft());
            return p->geometry.width() == 190 * (onB ? kMonitorB.scale : kMonitorA.scale);
        };
        QTRY_VERIFY2_WITH_TIMEOUT(settled(), qPrintable(windowReport()), kTimeoutMs);
        click(closeButton());
    }
    QTRY_COMPARE_WITH_TIMEOUT(m_program.state(), QProcess::NotRunning, kTimeoutMs);
    QCOMPARE(m_program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_program.exitCode(), 0);
    stopWindowManager();
}

// The labels to compare with are drawn here with the label font, without a
// window: on the offscreen platform, so that the program alone is on the X server.
int main(int argc, char **argv)
{
    char platformOption[] = "-platform";
    char platform[] = "offscreen";
    std::vector<char *> guiArgs{argv[0], platformOption, platform};
    int guiCount = int(guiArgs.size());
    guiArgs.push_back(nullptr);
    QGuiApplication app(guiCount, guiArgs.data());
    tst_E2E test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_e2e.moc"
