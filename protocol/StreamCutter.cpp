#include "protocol/StreamCutter.h"

QList<QByteArray> StreamCutter::feed(const QByteArray& bytes) {
    QList<QByteArray> messages;
    qsizetype start = 0;
    qsizetype end = bytes.indexOf(terminator);
    if (end < 0) {
        m_pending.append(bytes);
        return messages;
    }
    // The first message completes whatever was pending.
    m_pending.append(bytes.constData(), end);
    messages.append(m_pending);
    m_pending.clear();
    start = end + 1;
    while ((end = bytes.indexOf(terminator, start)) >= 0) {
        messages.append(bytes.mid(start, end - start));
        start = end + 1;
    }
    m_pending = bytes.mid(start);
    return messages;
}
