#pragma once

#include <QString>

#include <stdexcept>

// Raised for a chat line whose source field is not a number from 0 to 9, so
// that it would name no speaker's style. Nothing of the line is shown.
class EChatLine : public std::runtime_error {
public:
    explicit EChatLine(const QString& text) : std::runtime_error(text.toStdString()) {}

    // Quotes at most the first 100 characters of the field.
    static EChatLine notANumber(const QString& field) {
        constexpr qsizetype quoted = 100;
        const QString shown = field.size() > quoted ? field.left(quoted) + QChar(0x2026) : field;
        return EChatLine("'" + shown + "' is not a valid integer value");
    }
    static EChatLine noSuchSource(int source) {
        return EChatLine("Chat line source " + QString::number(source) + " is out of range");
    }
};
