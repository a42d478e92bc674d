#include "rr_source_link.h"

RrSourceLink::RrSourceLink(QObject *parent) : QObject(parent) {}

void RrSourceLink::setState(const State &state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit changed();
}
