#include "protocol/EConvertError.h"

namespace {
// Built by appending: g++ 12 at -O3 warns falsely (-Wrestrict) about
// "literal" + std::string.
std::string notValid(const QByteArray& text, const char* what) {
    std::string message = "'";
    message.append(text.constData(), size_t(text.size()));
    message += "' is not a valid ";
    message += what;
    return message;
}
} // namespace

EConvertError::EConvertError(const QByteArray& text)
    : std::runtime_error(notValid(text, "integer value")) {}

EConvertError::EConvertError(const QByteArray& text, const char* what)
    : std::runtime_error(notValid(text, what)) {}
