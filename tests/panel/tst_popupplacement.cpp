// Where the duration list and the information window open: inside the
// display's available area, shorter where the full size does not fit, and
// the information window never over the panel's header.

#include "popup_placement.h"

#include <QtTest>

namespace {

// The list and the information window as the documents size them.
const QSizeF kList(220, 248);
const QSizeF kInfo(430, 590);
constexpr double kListGap = 4;
constexpr double kMargin = 12;
constexpr double kHeader = 58;
constexpr double kShortest = 200;

const QRectF kFullHd(0, 0, 1920, 1080);
// 1280 x 1024 at scale 2, right of the first display.
const QRectF kSmall(1920, 0, 640, 512);

} // namespace

class TestPopupPlacement : public QObject
{
    Q_OBJECT

private slots:
    void dropDown_data();
    void dropDown();
    void besidePanel_data();
    void besidePanel();
};

void TestPopupPlacement::dropDown_data()
{
    QTest::addColumn<QRectF>("selector");
    QTest::addColumn<QRectF>("area");
    QTest::addColumn<QRect>("expected");

    QTest::newRow("room below: centred, 4 below")
        << QRectF(738, 400, 174, 32) << kFullHd << QRect(715, 436, 220, 248);
    QTest::newRow("bottom edge: opens upwards")
        << QRectF(738, 1000, 174, 32) << kFullHd << QRect(715, 748, 220, 248);
    QTest::newRow("exactly fits below")
        << QRectF(738, 796, 174, 32) << kFullHd << QRect(715, 832, 220, 248);
    QTest::newRow("one pixel short below")
        << QRectF(738, 797, 174, 32) << kFullHd << QRect(715, 545, 220, 248);
    QTest::newRow("right edge: kept inside")
        << QRectF(1738, 400, 174, 32) << kFullHd << QRect(1700, 436, 220, 248);
    QTest::newRow("left edge: kept inside")
        << QRectF(0, 400, 174, 32) << kFullHd << QRect(0, 436, 220, 248);
    QTest::newRow("bottom right corner")
        << QRectF(1738, 1040, 174, 32) << kFullHd << QRect(1700, 788, 220, 248);
    QTest::newRow("selector above the top: list from the top")
        << QRectF(738, -60, 174, 32) << kFullHd << QRect(715, 0, 220, 248);
    QTest::newRow("selector below the bottom: list up to the bottom")
        << QRectF(738, 1100, 174, 32) << kFullHd << QRect(715, 832, 220, 248);
    QTest::newRow("640 x 512, low: upwards")
        << QRectF(2153, 355, 174, 32) << kSmall << QRect(2130, 103, 220, 248);
    QTest::newRow("640 x 512, middle: shorter, below")
        << QRectF(2153, 240, 174, 32) << kSmall << QRect(2130, 276, 220, 236);
    QTest::newRow("640 x 512, more room above: shorter, above")
        << QRectF(2153, 250, 174, 32) << kSmall << QRect(2130, 0, 220, 246);
    QTest::newRow("640 x 512, right edge")
        << QRectF(2458, 100, 174, 32) << kSmall << QRect(2340, 136, 220, 248);
    QTest::newRow("area narrower than the list")
        << QRectF(10, 100, 174, 32) << QRectF(0, 0, 200, 800) << QRect(0, 136, 200, 248);
    QTest::newRow("selector as high as the area: covered")
        << QRectF(0, 0, 174, 32) << QRectF(0, 0, 400, 32) << QRect(0, 0, 220, 32);
    QTest::newRow("halves round up")
        << QRectF(738.5, 400.5, 174, 32) << kFullHd << QRect(716, 437, 220, 248);
}

void TestPopupPlacement::dropDown()
{
    QFETCH(QRectF, selector);
    QFETCH(QRectF, area);
    QFETCH(QRect, expected);

    const QRect placed = PopupPlacement().dropDown(selector, kList, kListGap, area);
    QCOMPARE(placed, expected);
    QVERIFY(area.contains(QRectF(placed)));
}

void TestPopupPlacement::besidePanel_data()
{
    QTest::addColumn<QRectF>("panel");
    QTest::addColumn<QRectF>("area");
    QTest::addColumn<QRect>("expected");

    QTest::newRow("right of the panel")
        << QRectF(545, 345, 190, 390) << kFullHd << QRect(747, 345, 430, 590);
    QTest::newRow("exactly fits on the right")
        << QRectF(1276, 345, 190, 390) << kFullHd << QRect(1478, 345, 430, 590);
    QTest::newRow("one pixel too far: left")
        << QRectF(1277, 345, 190, 390) << kFullHd << QRect(835, 345, 430, 590);
    QTest::newRow("right edge: left of the panel")
        << QRectF(1730, 345, 190, 390) << kFullHd << QRect(1288, 345, 430, 590);
    QTest::newRow("low panel: kept inside the bottom")
        << QRectF(545, 690, 190, 460) << kFullHd << QRect(747, 478, 430, 590);
    QTest::newRow("panel above the top: kept inside the top")
        << QRectF(545, -100, 190, 390) << kFullHd << QRect(747, 12, 430, 590);
    QTest::newRow("narrow display, high panel: below")
        << QRectF(255, 12, 190, 390) << QRectF(0, 0, 700, 1080) << QRect(255, 414, 430, 590);
    QTest::newRow("narrow display, low panel: above")
        << QRectF(255, 678, 190, 390) << QRectF(0, 0, 700, 1080) << QRect(255, 76, 430, 590);
    QTest::newRow("narrow, lower display: shorter, below")
        << QRectF(255, 100, 190, 390) << QRectF(0, 0, 700, 900) << QRect(255, 502, 430, 386);
    QTest::newRow("narrow, lower display: shorter, above")
        << QRectF(255, 410, 190, 390) << QRectF(0, 0, 700, 900) << QRect(255, 12, 430, 386);
    QTest::newRow("640 x 512: over the palette, below the header")
        << QRectF(2038, 61, 190, 390) << kSmall << QRect(2038, 119, 430, 381);
    QTest::newRow("640 x 512, panel with the QTc card")
        << QRectF(2038, 26, 190, 460) << kSmall << QRect(2038, 84, 430, 416);
    QTest::newRow("640 x 512, panel at the right edge")
        << QRectF(2370, 61, 190, 390) << kSmall << QRect(2118, 119, 430, 381);
    QTest::newRow("second display: left of the panel")
        << QRectF(3000, 300, 190, 390) << QRectF(1920, 0, 1280, 1024) << QRect(2558, 300, 430, 590);
    QTest::newRow("display left of the primary")
        << QRectF(-1000, -500, 190, 390) << QRectF(-1920, -1080, 1920, 1080)
        << QRect(-798, -602, 430, 590);
    QTest::newRow("no display: right of the panel, unclamped")
        << QRectF(5000, -20, 190, 390) << QRectF() << QRect(5202, -20, 430, 590);
    QTest::newRow("halves round up")
        << QRectF(100.5, 40.5, 190, 390) << kFullHd << QRect(303, 41, 430, 590);
}

void TestPopupPlacement::besidePanel()
{
    QFETCH(QRectF, panel);
    QFETCH(QRectF, area);
    QFETCH(QRect, expected);

    const QRect placed
        = PopupPlacement().besidePanel(panel, kHeader, kInfo, kShortest, kMargin, area);
    QCOMPARE(placed, expected);
    if (!area.isEmpty())
        QVERIFY(area.adjusted(kMargin, kMargin, -kMargin, -kMargin).contains(QRectF(placed)));
    const QRectF header(panel.x(), panel.y(), panel.width(), kHeader);
    QVERIFY(!header.intersects(QRectF(placed)));
}

QTEST_APPLESS_MAIN(TestPopupPlacement)

#include "tst_popupplacement.moc"
