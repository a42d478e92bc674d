#pragma once

// The RR interval of the QT correction taken from a Standard caliper: which
// caliper, its interval (the mean of its intervals) as the QTc card shows it,
// and whether the card waits for the user to press one. The controller keeps
// it true to the caliper, also while the caliper is dragged; the documents
// only read it.

#include <QObject>
#include <QString>
#include <QtGlobal>

class RrSourceLink : public QObject
{
    Q_OBJECT
    // The caliper the RR comes from, 0 when none.
    Q_PROPERTY(quint64 caliperId READ caliperId NOTIFY changed)
    // Its interval in ms, or the mean of its intervals; 0 without a caliper.
    Q_PROPERTY(double intervalMs READ intervalMs NOTIFY changed)
    // The interval as the QTc input shows and reads it: whole milliseconds;
    // empty without a caliper.
    Q_PROPERTY(QString text READ text NOTIFY changed)
    // The caliper's colour, which marks the input.
    Q_PROPERTY(QString color READ color NOTIFY changed)
    // "RR from caliper" was chosen: the next press on a caliper links it.
    Q_PROPERTY(bool picking READ picking NOTIFY changed)

public:
    struct State
    {
        quint64 caliperId = 0;
        double intervalMs = 0.0;
        QString text;
        QString color;
        bool picking = false;
        bool operator==(const State &) const = default;
    };

    explicit RrSourceLink(QObject *parent = nullptr);

    [[nodiscard]] quint64 caliperId() const { return m_state.caliperId; }
    [[nodiscard]] double intervalMs() const { return m_state.intervalMs; }
    [[nodiscard]] QString text() const { return m_state.text; }
    [[nodiscard]] QString color() const { return m_state.color; }
    [[nodiscard]] bool picking() const { return m_state.picking; }
    [[nodiscard]] const State &state() const { return m_state; }

    // Announces a change once, and only a real one.
    void setState(const State &state);

signals:
    void changed();

private:
    State m_state;
};
