#pragma once

#include <QColor>
#include <QString>

#include <optional>

// Colours as the chat, the settings file and the wire carry them: a 32-bit
// value laid out $00BBGGRR (red in the lowest byte), written as the name of
// a named colour ("clBlack") or as "$" and eight upper-case hex digits.
// Values $80000000 to $80000018 stand for the desktop's colour of a role
// (window text, highlight, ...), $1FFFFFFF is "no colour".
class ColourText {
public:
    ColourText() = delete;

    static constexpr quint32 black = 0x000000;
    static constexpr quint32 maroon = 0x000080;
    static constexpr quint32 green = 0x008000;
    static constexpr quint32 navy = 0x800000;
    static constexpr quint32 silver = 0xC0C0C0;
    static constexpr quint32 red = 0x0000FF;
    static constexpr quint32 blue = 0xFF0000;
    static constexpr quint32 windowText = 0x80000008;
    static constexpr quint32 none = 0x1FFFFFFF;

    // The name of the value when it has one, else "$" and eight hex digits.
    static QString toText(quint32 value);
    // A colour name in any letter case, a decimal integer (optionally signed)
    // or "$" and up to eight hex digits; nothing when the text is none of these.
    static std::optional<quint32> fromText(const QString& text);

    // The colour to paint with: desktop colours are taken from the application
    // palette, "no colour" is transparent.
    static QColor toQColor(quint32 value);
    // The $00BBGGRR value of a plain colour (alpha is dropped).
    static quint32 fromQColor(const QColor& colour);
};
