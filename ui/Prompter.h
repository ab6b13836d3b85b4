#pragma once

#include <QString>
#include <QStringList>

// Every message box and Yes/No question of the program goes through this
// interface, so that tests can answer them and count them.
class Prompter {
public:
    virtual ~Prompter() = default;
    // A message box with an OK button; returns when the user dismissed it.
    virtual void message(const QString& text) = 0;
    // A question with the buttons Yes and No; true for Yes.
    virtual bool question(const QString& text) = 0;
    // A message with one button per caption, the first being the default;
    // returns the index of the button chosen, or -1 when the box was closed
    // without choosing (Escape, the window's close button). A prompter that
    // offers no choice shows the text alone and answers -1.
    virtual int choose(const QString& text, const QStringList& buttons) {
        Q_UNUSED(buttons);
        message(text);
        return -1;
    }
};
