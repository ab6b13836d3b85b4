#pragma once

#include "protocol/EConvertError.h"

#include <QByteArray>

// Reads the "+"-separated fields of a message's argument text (everything
// after the command name and its "+"). A field is the text up to the next
// "+"; the last field of a message may be free text holding "+" itself.
class FieldReader {
public:
    explicit FieldReader(const QByteArray& args) : m_text(args) {}

    // The next field; the rest of the text when no "+" follows.
    QByteArray next();
    // The next field as a strict decimal integer (optional leading "-",
    // digits only, within 32 bits); raises EConvertError otherwise.
    int nextInt();
    // The next field as an integer that must lie within [low, high];
    // raises EConvertError when it does not parse or lies outside.
    int nextInt(int low, int high);
    // Everything not read yet (a free-text last field).
    QByteArray rest() const { return m_text.mid(m_pos); }
    // True when nothing is left to read; an item list runs until here.
    bool atEnd() const { return m_pos >= m_text.size(); }

    static int toInt(const QByteArray& text);
    static bool isInt(const QByteArray& text);

private:
    QByteArray m_text;
    qsizetype m_pos = 0;
};
