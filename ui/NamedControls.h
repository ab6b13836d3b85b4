#pragma once

#include <QString>

class QLabel;
class QPushButton;
class QWidget;

// Controls that carry their name as objectName, so tests find them. Labels
// show their text as plain characters and wrap it, whatever it holds.
QLabel* namedLabel(QWidget* parent, const char* name, const QString& text);
QPushButton* namedButton(QWidget* parent, const char* name, const QString& caption);
