#pragma once

#include "protocol/StreamCutter.h"

#include <QByteArray>

#include <array>
#include <deque>

// The server's receive queue: the messages of all connections in arrival
// order, each remembering the seat of the connection it came from. Every
// connection has its own cutter for the bytes after its last 0xFF.
//
// Limits, so that one peer cannot grow the server without bound: more than
// maxPending bytes without a terminator, or more than maxWaiting messages
// waiting, and feed() reports the connection as over its limit.
class ReceiveQueue {
public:
    static constexpr qsizetype maxPending = 64 * 1024;
    static constexpr int maxWaiting = 256;
    static constexpr int seats = 10;

    struct Entry {
        int seat = 0;
        QByteArray text;
    };

    // Cuts the bytes of the seat's connection into messages and queues them;
    // false when the connection went over a limit.
    bool feed(int seat, const QByteArray& bytes);
    bool isEmpty() const { return m_entries.empty(); }
    int size() const { return int(m_entries.size()); }
    int waiting(int seat) const { return m_waiting.at(seat); }
    // True when a message of the seat starting with prefix waits.
    bool hasWaiting(int seat, const QByteArray& prefix) const;
    Entry take();
    // Forgets everything of a closed connection: its waiting messages and
    // its unfinished bytes.
    void dropSeat(int seat);

private:
    std::deque<Entry> m_entries;
    std::array<StreamCutter, seats> m_cutters;
    std::array<int, seats> m_waiting{};
};
