// A plain window of the test's own that lies beneath the overlays and reports
// every mouse press it receives on standard output, one line each:
//   press <global x> <global y> <button>
// With --screens it prints the screens Qt sees and exits. --rect x,y,w,h places
// the window (Qt itself takes --geometry); --colour RRGGBB fills it. With
// --managed it is an ordinary window, as another program's would be.

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QRasterWindow>
#include <QScreen>
#include <QTextStream>
#include <cstdio>

namespace {

class ProbeWindow : public QRasterWindow
{
public:
    explicit ProbeWindow(const QColor &colour) : m_colour(colour) {}

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(QRect(QPoint(0, 0), size()), m_colour);
    }
    void mousePressEvent(QMouseEvent *e) override
    {
        const QPoint g = e->globalPosition().toPoint();
        std::printf("press %d %d %d\n", g.x(), g.y(), int(e->button()));
        std::fflush(stdout);
    }

private:
    QColor m_colour;
};

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (app.arguments().contains(QStringLiteral("--screens"))) {
        for (const QScreen *s : QGuiApplication::screens()) {
            const QRect g = s->geometry();
            std::printf("screen %s %d %d %d %d %g %g\n", qPrintable(s->name()), g.x(), g.y(),
                        g.width(), g.height(), s->devicePixelRatio(), s->logicalDotsPerInch());
        }
        return 0;
    }
    // Geometry in logical pixels: --rect x,y,w,h
    QRect geometry(0, 0, 400, 300);
    const int at = app.arguments().indexOf(QStringLiteral("--rect"));
    if (at > 0 && at + 1 < app.arguments().size()) {
        const QStringList v = app.arguments().at(at + 1).split(QLatin1Char(','));
        if (v.size() == 4)
            geometry = QRect(v[0].toInt(), v[1].toInt(), v[2].toInt(), v[3].toInt());
    }
    QColor colour(0x40, 0x40, 0x40);
    const int colourAt = app.arguments().indexOf(QStringLiteral("--colour"));
    if (colourAt > 0 && colourAt + 1 < app.arguments().size())
        colour = QColor(QLatin1Char('#') + app.arguments().at(colourAt + 1));
    ProbeWindow window(colour.isValid() ? colour : QColor(0x40, 0x40, 0x40));
    // Beneath everything, also under a window manager: out of its hands (a
    // window manager stacks a window that covers the screen as it likes), the
    // probe stays where it was mapped first, at the bottom.
    if (app.arguments().contains(QStringLiteral("--managed")))
        window.setFlags(Qt::FramelessWindowHint);
    else
        window.setFlags(Qt::FramelessWindowHint | Qt::BypassWindowManagerHint);
    window.setGeometry(geometry);
    window.show();
    std::printf("ready %llu\n", static_cast<unsigned long long>(window.winId()));
    std::fflush(stdout);
    return QGuiApplication::exec();
}
