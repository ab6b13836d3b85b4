#include "server/ReceiveQueue.h"

#include <algorithm>

bool ReceiveQueue::feed(int seat, const QByteArray& bytes, const Admit& admit) {
    StreamCutter& cutter = m_cutters.at(seat);
    std::deque<QByteArray>& queue = m_queues.at(seat);
    for (QByteArray& message : cutter.feed(bytes)) {
        if (admit && !admit(message))
            continue;
        if (int(queue.size()) >= maxWaiting)
            return false;
        queue.push_back(std::move(message));
        ++m_size;
    }
    return cutter.pendingSize() <= maxPending;
}

bool ReceiveQueue::hasWaiting(int seat,
                              const std::function<bool(const QByteArray&)>& matches) const {
    const std::deque<QByteArray>& queue = m_queues.at(seat);
    return std::any_of(queue.begin(), queue.end(), matches);
}

ReceiveQueue::Entry ReceiveQueue::take() {
    for (int i = 0; i < queueCount; ++i) {
        const int seat = (m_next + i) % queueCount;
        std::deque<QByteArray>& queue = m_queues[seat];
        if (queue.empty())
            continue;
        Entry entry{seat, std::move(queue.front())};
        queue.pop_front();
        --m_size;
        m_next = (seat + 1) % queueCount;
        return entry;
    }
    return {};
}

void ReceiveQueue::dropSeat(int seat) {
    m_size -= int(m_queues.at(seat).size());
    m_queues[seat].clear();
    m_cutters.at(seat).clear();
}
