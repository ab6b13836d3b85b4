#pragma once

#include <QByteArray>
#include <QList>

// Cuts one connection's byte stream into wire messages. A message is
// everything before a 0xFF byte; the bytes after the last 0xFF stay pending
// until the next data completes them. Nothing is escaped, so a 0xFF inside a
// field ends the message there.
class StreamCutter {
public:
    static constexpr char terminator = char(0xFF);

    // Appends the bytes and returns the messages they complete, in order
    // (an empty message between two 0xFF bytes included).
    QList<QByteArray> feed(const QByteArray& bytes);
    // Bytes received after the last terminator.
    qsizetype pendingSize() const { return m_pending.size(); }
    void clear() { m_pending.clear(); }

private:
    QByteArray m_pending;
};
