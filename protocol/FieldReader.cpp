#include "protocol/FieldReader.h"

#include <limits>

QByteArray FieldReader::next() {
    const qsizetype plus = m_text.indexOf('+', m_pos);
    QByteArray field;
    if (plus < 0) {
        field = m_text.mid(m_pos);
        m_pos = m_text.size();
    } else {
        field = m_text.mid(m_pos, plus - m_pos);
        m_pos = plus + 1;
    }
    return field;
}

int FieldReader::nextInt() {
    return toInt(next());
}

int FieldReader::nextInt(int low, int high) {
    const QByteArray field = next();
    const int value = toInt(field);
    if (value < low || value > high)
        throw EConvertError(field);
    return value;
}

bool FieldReader::isInt(const QByteArray& text) {
    qsizetype i = 0;
    if (text.startsWith('-'))
        i = 1;
    if (i >= text.size() || text.size() - i > 10)
        return false;
    long long value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    if (text.startsWith('-'))
        value = -value;
    return value >= std::numeric_limits<int>::min() && value <= std::numeric_limits<int>::max();
}

int FieldReader::toInt(const QByteArray& text) {
    if (!isInt(text))
        throw EConvertError(text);
    return text.toInt();
}
