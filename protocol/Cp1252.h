#pragma once

#include <QByteArray>
#include <QString>

// Text on the wire is 8-bit Windows-1252. Names and chat are converted at
// the edges of the program: a character outside that set becomes "?".
namespace cp1252 {
QByteArray fromUnicode(const QString& text);
QString toUnicode(const QByteArray& bytes);
} // namespace cp1252
