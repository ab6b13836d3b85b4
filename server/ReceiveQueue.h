#pragma once

#include "game/Seats.h"
#include "protocol/StreamCutter.h"

#include <QByteArray>

#include <array>
#include <deque>
#include <functional>

// The server's receive queue: the messages of every connection, each
// connection's in the order they arrived. take() serves the connections in
// turn, one message from each that has some, so that a connection with a
// long queue delays only itself; every connection has its own cutter for the
// bytes after its last 0xFF.
//
// Limits, so that one peer cannot grow the server without bound: more than
// maxPending bytes without a terminator, or more than maxWaiting messages
// waiting, and feed() reports the connection as over its limit.
class ReceiveQueue {
public:
    static constexpr qsizetype maxPending = 64 * 1024;
    static constexpr int maxWaiting = 256;
    static constexpr int queueCount = seats::last + 1; // indexed by seat, 0 unused

    struct Entry {
        int seat = 0;
        QByteArray text;
    };
    // Decides at arrival whether a message is queued (true) or dropped.
    using Admit = std::function<bool(const QByteArray& message)>;

    // Cuts the bytes of the seat's connection into messages and queues those
    // that admit lets through (all without one); false when the connection
    // went over a limit.
    bool feed(int seat, const QByteArray& bytes, const Admit& admit = {});
    bool isEmpty() const { return m_size == 0; }
    int size() const { return m_size; }
    int waiting(int seat) const { return int(m_queues.at(seat).size()); }
    // True when a message of the seat that matches waits.
    bool hasWaiting(int seat, const std::function<bool(const QByteArray&)>& matches) const;
    // The oldest message of the next connection in turn that has one. Only
    // when the queue is not empty.
    Entry take();
    // Forgets everything of a closed connection: its waiting messages and
    // its unfinished bytes.
    void dropSeat(int seat);

private:
    std::array<std::deque<QByteArray>, queueCount> m_queues;
    std::array<StreamCutter, queueCount> m_cutters;
    int m_size = 0;
    int m_next = 0; // the connection whose turn comes first at the next take
};
