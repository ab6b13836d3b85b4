#pragma once

#include "ui/Prompter.h"

class QWidget;

// Shows messages and questions in real message boxes, titled "Climora".
class BoxPrompter : public Prompter {
public:
    void setParent(QWidget* parent) { m_parent = parent; }
    void message(const QString& text) override;
    bool question(const QString& text) override;
    int choose(const QString& text, const QStringList& buttons) override;

private:
    QWidget* m_parent = nullptr;
};
