#pragma once

#include <QByteArray>

#include <stdexcept>

// Raised when a field of a message does not fit its layout: "'{text}' is not
// a valid integer value" for a number, "'{text}' is not a valid {what}" for
// a field of a fixed set of words.
class EConvertError : public std::runtime_error {
public:
    explicit EConvertError(const QByteArray& text);
    EConvertError(const QByteArray& text, const char* what);
};
