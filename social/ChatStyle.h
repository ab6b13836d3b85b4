#pragma once

#include <QFont>
#include <QString>

// One text style of the chat view: shared by every run that names it, so a
// change shows on all of them at the view's next layout.
struct ChatStyle {
    // The text size of every style when the window is made, in points (a
    // settings file without one gives Settings::defaultTextSize instead).
    static constexpr int initialSize = 10;

    QString family = QStringLiteral("Arial");
    int size = initialSize; // points
    quint32 colour = 0;     // $00BBGGRR, desktop colours allowed (see ColourText)
    bool bold = false;
    bool italic = false;
    bool underline = false;

    QFont font() const {
        QFont f(family);
        f.setPointSize(size > 0 ? size : 1);
        f.setBold(bold);
        f.setItalic(italic);
        f.setUnderline(underline);
        return f;
    }
    // Whether text in the two styles takes the same room (colour aside).
    bool sameFont(const ChatStyle& other) const {
        return family == other.family && size == other.size && bold == other.bold &&
               italic == other.italic && underline == other.underline;
    }
    bool operator==(const ChatStyle& other) const = default;
};
