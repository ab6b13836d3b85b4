#pragma once

#include <QtGlobal>

// How much chat one connection may send: a token bucket refilled at the pace
// a person types. Chat lines, actions and chatter sounds take from it; what
// finds the bucket empty is dropped. A line costs one token per started
// 8 KiB after the first (a pasted page costs more than a word), so that a
// connection's share of everybody's output stays small whatever its lines
// hold; every line the receive queue takes (64 KiB) still fits a full bucket.
//
// The sender is told once per flood: the first drop says so, and it is told
// again only after it has been quiet long enough to fill its bucket.
class ChatRate {
public:
    static constexpr int burst = 10;      // tokens of a full bucket
    static constexpr int refillMs = 1000; // one token back every second
    static constexpr int bytesPerToken = 8192;

    enum class Verdict { pass, drop, dropAndTell };

    // A fresh connection: a full bucket, nothing told.
    void reset(qint64 nowMs);
    Verdict take(qint64 nowMs, qsizetype bytes);
    static int cost(qsizetype bytes);

private:
    // Credit in milliseconds of refill: one token is refillMs of it.
    static constexpr qint64 capacity = qint64(burst) * refillMs;
    qint64 m_credit = capacity;
    qint64 m_lastMs = 0;
    bool m_told = false;
};
