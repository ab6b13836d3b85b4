#pragma once

#include <QString>

// Every message box and Yes/No question of the program goes through this
// interface, so that tests can answer them and count them.
class Prompter {
public:
    virtual ~Prompter() = default;
    // A message box with an OK button; returns when the user dismissed it.
    virtual void message(const QString& text) = 0;
    // A question with the buttons Yes and No; true for Yes.
    virtual bool question(const QString& text) = 0;
};
