#include "correction_input.h"

namespace zrn {

namespace {

struct Range
{
    int lowest;
    int highest;
    QString problem;
};

Range rangeFor(const QString &mode)
{
    if (mode == QLatin1String("rate"))
        return {20, 300, QStringLiteral("Rate must be a whole number from 20 to 300 bpm.")};
    return {200, 3000, QStringLiteral("RR interval must be a whole number from 200 to 3000 ms.")};
}

} // namespace

CorrectionReading readCorrectionInput(const QString &text, const QString &mode)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return {};
    const Range range = rangeFor(mode);
    // ASCII digits only: no sign, no separator, no digits of other scripts
    // (QString::toInt alone would take a sign, QChar::isDigit other scripts).
    for (const QChar c : trimmed) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return {std::nullopt, range.problem};
    }
    // Too many digits for an int is out of range as well.
    bool ok = false;
    const int value = trimmed.toInt(&ok);
    if (!ok || value < range.lowest || value > range.highest)
        return {std::nullopt, range.problem};
    return {double(value), QString()};
}

} // namespace zrn
