// Which renderer the program takes: Qt Quick's software renderer where the
// graphics API would be drawn on the processor, unless the user chose.

#include "renderer_choice.h"

#include <QtTest>

class TestRendererChoice : public QObject
{
    Q_OBJECT

private slots:
    void rasterisers_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("software");
        QTest::newRow("llvmpipe") << "llvmpipe (LLVM 15.0.6, 256 bits)" << true;
        QTest::newRow("softpipe") << "softpipe" << true;
        QTest::newRow("swrast") << "Mesa swrast" << true;
        QTest::newRow("WARP") << "Microsoft Basic Render Driver" << true;
        QTest::newRow("flagged by DXGI") << "Microsoft-Standardgrafiktreiber (software)" << true;
        QTest::newRow("upper case") << "LLVMPIPE" << true;
        QTest::newRow("Intel") << "Mesa Intel(R) UHD Graphics 620 (KBL GT2)" << false;
        QTest::newRow("NVIDIA") << "NVIDIA GeForce RTX 3060/PCIe/SSE2" << false;
        QTest::newRow("AMD on Windows") << "AMD Radeon RX 6600" << false;
        QTest::newRow("virgl, a host's card") << "virgl (AMD Radeon)" << false;
        QTest::newRow("nothing asked") << "" << false;
    }

    void rasterisers()
    {
        QFETCH(QString, name);
        QFETCH(bool, software);
        QCOMPARE(isSoftwareRasteriser(name), software);
    }

    void userChoice_data()
    {
        QTest::addColumn<QByteArray>("quick");
        QTest::addColumn<QByteArray>("rhi");
        QTest::addColumn<bool>("chosen");
        QTest::newRow("nothing set") << QByteArray() << QByteArray() << false;
        QTest::newRow("set empty") << QByteArray(" ") << QByteArray("") << false;
        QTest::newRow("software named") << QByteArray("software") << QByteArray() << true;
        QTest::newRow("OpenGL named") << QByteArray() << QByteArray("opengl") << true;
        QTest::newRow("both") << QByteArray("rhi") << QByteArray("vulkan") << true;
    }

    void userChoice()
    {
        QFETCH(QByteArray, quick);
        QFETCH(QByteArray, rhi);
        QFETCH(bool, chosen);
        QCOMPARE(rendererChosenByUser(quick, rhi), chosen);
    }
};

QTEST_MAIN(TestRendererChoice)
#include "tst_rendererchoice.moc"
