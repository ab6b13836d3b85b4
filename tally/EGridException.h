#pragma once

#include <QString>

#include <stdexcept>

// Raised by StringTable when its text file cannot be read, is not a table text
// or cannot be written; the text says why, without the file name.
class EGridException : public std::runtime_error {
public:
    explicit EGridException(const QString& text) : std::runtime_error(text.toStdString()) {}
    QString text() const { return QString::fromStdString(what()); }
};
