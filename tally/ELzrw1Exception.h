#pragma once

#include <QString>

#include <stdexcept>

// Raised by Tlzrw1 when a file cannot be compressed or decompressed; the text
// is shown to the user as it is.
class ELzrw1Exception : public std::runtime_error {
public:
    explicit ELzrw1Exception(const QString& text) : std::runtime_error(text.toStdString()) {}
    QString text() const { return QString::fromStdString(what()); }
};
