#pragma once

#include "app/Prompter.h"

#include <QStringList>

// Answers every message box and question without showing anything, and
// remembers what was asked.
class FakePrompter : public Prompter {
public:
    void message(const QString& text) override { messages << text; }
    bool question(const QString& text) override {
        questions << text;
        return answer;
    }

    QStringList messages;
    QStringList questions;
    bool answer = true;
};
