#pragma once

#include <QString>

#include <stdexcept>

// Raised for a chat line whose source field is not a number from 0 to 9, so
// that it would name no speaker's style. Nothing of the line is shown.
class EChatLine : public std::runtime_error {
public:
    explicit EChatLine(const QString& text) : std::runtime_error(text.toStdString()) {}

    static EChatLine notANumber(const QString& field) {
        return EChatLine("'" + field + "' is not a valid integer value");
    }
    static EChatLine noSuchSource(int source) {
        return EChatLine("Chat line source " + QString::number(source) + " is out of range");
    }
};
