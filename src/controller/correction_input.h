#pragma once

// The one reading of the rate or RR text the user types for the QT
// correction. The palette shows what it says about the text, and the QT/QTc
// labels compute with its value, so the two can never disagree.

#include <QString>
#include <optional>

namespace zrn {

struct CorrectionReading
{
    // Present only for a plain whole number inside the unit's range.
    std::optional<double> value;
    // What the user is told: empty when the text is usable or empty.
    QString problem;
};

// mode "rate" (exactly) reads a heart rate in bpm, 20 to 300; any other mode
// reads an RR interval in ms, 200 to 3000, as calculateBazettQtc reads it.
// Surrounding white space is ignored; everything else must be ASCII digits.
[[nodiscard]] CorrectionReading readCorrectionInput(const QString &text, const QString &mode);

} // namespace zrn
