#pragma once

// The reading of the QTc input, for the documents: the palette marks the
// field with it, and the QT/QTc labels compute with the same value.

#include <QObject>
#include <QString>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

class CorrectionInputReader : public QObject
{
    Q_OBJECT
    QML_NAMED_ELEMENT(CorrectionInput)
    QML_SINGLETON

public:
    explicit CorrectionInputReader(QObject *parent = nullptr);

    // {"value": the number, only when usable; "problem": the message, empty
    // when the text is usable or empty}.
    Q_INVOKABLE QVariantMap read(const QString &text, const QString &mode) const;
};
