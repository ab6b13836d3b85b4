#pragma once

#include "ui/Prompter.h"

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
    int choose(const QString& text, const QStringList& buttons) override {
        choices << text;
        choiceButtons << buttons;
        return choicesToMake.isEmpty() ? choice : choicesToMake.takeFirst();
    }

    QStringList messages;
    QStringList questions;
    bool answer = true;
    QStringList choices;
    QList<QStringList> choiceButtons;
    int choice = -1;          // closed without choosing
    QList<int> choicesToMake; // answered first, in order, before `choice`
};
