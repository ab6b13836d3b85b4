#include "server/ChatRate.h"

#include <algorithm>

void ChatRate::reset(qint64 nowMs) {
    m_credit = capacity;
    m_lastMs = nowMs;
    m_told = false;
}

int ChatRate::cost(qsizetype bytes) {
    return 1 + int(std::max<qsizetype>(0, bytes - 1) / bytesPerToken);
}

ChatRate::Verdict ChatRate::take(qint64 nowMs, qsizetype bytes) {
    // A clock that went back refills nothing.
    m_credit = std::min(capacity, m_credit + std::max<qint64>(0, nowMs - m_lastMs));
    m_lastMs = std::max(m_lastMs, nowMs);
    if (m_credit == capacity)
        m_told = false; // quiet long enough: a new flood is told again
    const qint64 price = qint64(cost(bytes)) * refillMs;
    if (m_credit >= price) {
        m_credit -= price;
        return Verdict::pass;
    }
    if (m_told)
        return Verdict::drop;
    m_told = true;
    return Verdict::dropAndTell;
}
