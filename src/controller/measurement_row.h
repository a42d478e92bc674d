#pragma once

// One caliper as the user interface sees it: its identity, geometry and colour,
// its relation to the active reference, and its two ready-made texts. The
// controller builds rows anew at every read; QML receives them as maps.

#include "measurement_model.h"

#include <QString>
#include <QtGlobal>

struct MeasurementRow
{
    quint64 id = 0;
    zrn::CaliperKind kind = zrn::CaliperKind::Standard;
    QString displayId;
    double logicalDpi = 0.0;
    double devicePixelRatio = 0.0;
    double rawWidth = 0.0; // logical pixels, unrounded
    double startX = 0.0;
    double endX = 0.0;
    double y = 0.0;
    QString color;
    // How many intervals a Standard caliper is laid over (1 for other kinds):
    // its label shows their mean.
    int intervalCount = 1;
    bool activeReference = false;
    bool referenceMatches = false;
    double referenceWidth = 0.0;
    double referenceDuration = 0.0;
    QString overlayLabel;
    QString result;

    // Whether the row's measurements are calibrated: the active reference was
    // drawn on the same display at the same scale.
    [[nodiscard]] bool hasUsableReference() const
    {
        return referenceMatches && referenceWidth > 0.0 && referenceDuration > 0.0;
    }
};
