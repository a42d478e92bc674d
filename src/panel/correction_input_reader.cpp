#include "correction_input_reader.h"

#include "correction_input.h"

CorrectionInputReader::CorrectionInputReader(QObject *parent) : QObject(parent) {}

QVariantMap CorrectionInputReader::read(const QString &text, const QString &mode) const
{
    const zrn::CorrectionReading reading = zrn::readCorrectionInput(text, mode);
    QVariantMap result{{QStringLiteral("problem"), reading.problem}};
    if (reading.value)
        result.insert(QStringLiteral("value"), *reading.value);
    return result;
}
