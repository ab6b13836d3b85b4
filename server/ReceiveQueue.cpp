#include "server/ReceiveQueue.h"

#include <algorithm>

bool ReceiveQueue::feed(int seat, const QByteArray& bytes) {
    StreamCutter& cutter = m_cutters.at(seat);
    for (QByteArray& message : cutter.feed(bytes)) {
        if (m_waiting[seat] >= maxWaiting)
            return false;
        m_entries.push_back({seat, std::move(message)});
        ++m_waiting[seat];
    }
    return cutter.pendingSize() <= maxPending;
}

bool ReceiveQueue::hasWaiting(int seat, const QByteArray& prefix) const {
    return std::any_of(m_entries.begin(), m_entries.end(), [&](const Entry& entry) {
        return entry.seat == seat && entry.text.startsWith(prefix);
    });
}

ReceiveQueue::Entry ReceiveQueue::take() {
    Entry entry = std::move(m_entries.front());
    m_entries.pop_front();
    --m_waiting[entry.seat];
    return entry;
}

void ReceiveQueue::dropSeat(int seat) {
    std::erase_if(m_entries, [seat](const Entry& entry) { return entry.seat == seat; });
    m_waiting.at(seat) = 0;
    m_cutters.at(seat).clear();
}
