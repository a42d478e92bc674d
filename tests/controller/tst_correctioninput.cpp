// The reading of the QTc input: only a plain whole number in the unit's range
// is used; everything else is refused with the range named, never altered.

#include "correction_input.h"

#include <QtTest>

namespace {

const QString kRate = QStringLiteral("Rate must be a whole number from 20 to 300 bpm.");
const QString kRr = QStringLiteral("RR interval must be a whole number from 200 to 3000 ms.");

} // namespace

class TestCorrectionInput : public QObject
{
    Q_OBJECT

private slots:
    void read_data();
    void read();
};

void TestCorrectionInput::read_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("mode");
    // -1: no value.
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("problem");

    QTest::newRow("empty") << ""
                           << "rate" << -1.0 << "";
    QTest::newRow("spaces only") << "   "
                                 << "rr" << -1.0 << "";
    QTest::newRow("72 bpm") << "72"
                            << "rate" << 72.0 << "";
    QTest::newRow("spaces around") << " 72 "
                                   << "rate" << 72.0 << "";
    QTest::newRow("tab and newline around") << "\t72\n"
                                            << "rate" << 72.0 << "";
    QTest::newRow("no-break spaces around") << "\u00a072\u00a0"
                                            << "rate" << 72.0 << "";
    QTest::newRow("leading zero") << "072"
                                  << "rate" << 72.0 << "";
    QTest::newRow("20 bpm, lowest") << "20"
                                    << "rate" << 20.0 << "";
    QTest::newRow("19 bpm") << "19"
                            << "rate" << -1.0 << kRate;
    QTest::newRow("300 bpm, highest") << "300"
                                      << "rate" << 300.0 << "";
    QTest::newRow("301 bpm") << "301"
                             << "rate" << -1.0 << kRate;
    QTest::newRow("7 bpm") << "7"
                           << "rate" << -1.0 << kRate;
    QTest::newRow("99999 bpm") << "99999"
                               << "rate" << -1.0 << kRate;
    QTest::newRow("0 bpm") << "0"
                           << "rate" << -1.0 << kRate;
    QTest::newRow("-300 in ms") << "-300"
                                << "rr" << -1.0 << kRr;
    QTest::newRow("plus sign") << "+72"
                               << "rate" << -1.0 << kRate;
    QTest::newRow("12a3") << "12a3"
                          << "rr" << -1.0 << kRr;
    QTest::newRow("0.8 in ms, seconds meant") << "0.8"
                                              << "rr" << -1.0 << kRr;
    QTest::newRow("0,8 in ms") << "0,8"
                               << "rr" << -1.0 << kRr;
    QTest::newRow("08 in ms") << "08"
                              << "rr" << -1.0 << kRr;
    QTest::newRow("72.0 bpm") << "72.0"
                              << "rate" << -1.0 << kRate;
    QTest::newRow("German grouping") << "1.000"
                                     << "rr" << -1.0 << kRr;
    QTest::newRow("English grouping") << "1,000"
                                      << "rr" << -1.0 << kRr;
    QTest::newRow("French grouping") << "1\u202f000"
                                     << "rr" << -1.0 << kRr;
    QTest::newRow("space inside") << "7 2"
                                  << "rate" << -1.0 << kRate;
    QTest::newRow("exponent") << "1e3"
                              << "rr" << -1.0 << kRr;
    QTest::newRow("20 digits") << "12345678901234567890"
                               << "rr" << -1.0 << kRr;
    QTest::newRow("20 digits in bpm") << "99999999999999999999"
                                      << "rate" << -1.0 << kRate;
    QTest::newRow("1234567 ms") << "1234567"
                                << "rr" << -1.0 << kRr;
    QTest::newRow("640 ms") << "640"
                            << "rr" << 640.0 << "";
    QTest::newRow("200 ms, lowest") << "200"
                                    << "rr" << 200.0 << "";
    QTest::newRow("199 ms") << "199"
                            << "rr" << -1.0 << kRr;
    QTest::newRow("3000 ms, highest") << "3000"
                                      << "rr" << 3000.0 << "";
    QTest::newRow("3001 ms") << "3001"
                             << "rr" << -1.0 << kRr;
    QTest::newRow("a rate in ms") << "72"
                                  << "rr" << -1.0 << kRr;
    QTest::newRow("an RR in bpm") << "640"
                                  << "rate" << -1.0 << kRate;
    QTest::newRow("mode Rate is RR") << "640"
                                     << "Rate" << 640.0 << "";
    QTest::newRow("empty mode is RR") << "72"
                                      << "" << -1.0 << kRr;
    QTest::newRow("Arabic-Indic digits") << "\u0667\u0662"
                                         << "rate" << -1.0 << kRate;
    QTest::newRow("Eastern Arabic-Indic digits") << "\u06f7\u06f2"
                                                 << "rate" << -1.0 << kRate;
    QTest::newRow("Devanagari digits") << "\u096d\u0968"
                                       << "rate" << -1.0 << kRate;
    QTest::newRow("full-width digits") << "\uff17\uff12"
                                       << "rate" << -1.0 << kRate;
    QTest::newRow("ASCII and Arabic-Indic") << "6\u0664\u0660"
                                            << "rr" << -1.0 << kRr;
    QTest::newRow("superscript two") << "7\u00b2"
                                     << "rate" << -1.0 << kRate;
}

void TestCorrectionInput::read()
{
    QFETCH(QString, text);
    QFETCH(QString, mode);
    QFETCH(double, value);
    QFETCH(QString, problem);

    const zrn::CorrectionReading reading = zrn::readCorrectionInput(text, mode);
    QCOMPARE(reading.value.has_value(), value >= 0);
    if (reading.value)
        QCOMPARE(*reading.value, value);
    QCOMPARE(reading.problem, problem);
}

QTEST_APPLESS_MAIN(TestCorrectionInput)

#include "tst_correctioninput.moc"
