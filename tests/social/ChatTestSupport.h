#pragma once

// Shared by the chat and social tests: readable failure output for Qt types
// and a recording sound output.

#include "social/ChatView.h"
#include "social/SoundOutput.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QByteArray& bytes, std::ostream* out) {
    *out << '"' << bytes.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* out) {
    *out << '[' << list.join("|").toStdString() << ']';
}

inline std::ostream& operator<<(std::ostream& out, const ChatView::Item& item) {
    if (item.picture)
        return out << (item.startsLine ? "\n" : "") << "[picture " << item.image << "]";
    return out << (item.startsLine ? "\n" : "") << "[" << item.style << " \""
               << item.text.toStdString() << "\"]";
}

// Text runs and pictures, for comparing a line with what it should show.
inline ChatView::Item run(int style, const QString& text, bool startsLine = false) {
    ChatView::Item item;
    item.style = style;
    item.text = text;
    item.startsLine = startsLine;
    return item;
}
inline ChatView::Item picture(int image) {
    ChatView::Item item;
    item.picture = true;
    item.image = image;
    return item;
}

class RecordingSoundOutput : public SoundOutput {
public:
    void play(const QString& name) override { played << name; }
    QStringList played;
};
