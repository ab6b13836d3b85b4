#include "app/BoxPrompter.h"

#include <QMessageBox>
#include <QPushButton>

void BoxPrompter::message(const QString& text) {
    QMessageBox box(QMessageBox::Information, "Climora", text, QMessageBox::Ok, m_parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool BoxPrompter::question(const QString& text) {
    QMessageBox box(QMessageBox::Question, "Climora", text, QMessageBox::Yes | QMessageBox::No,
                    m_parent);
    box.setTextFormat(Qt::PlainText);
    return box.exec() == QMessageBox::Yes;
}

int BoxPrompter::choose(const QString& text, const QStringList& buttons) {
    QMessageBox box(QMessageBox::Warning, "Climora", text, QMessageBox::NoButton, m_parent);
    box.setTextFormat(Qt::PlainText);
    QList<QAbstractButton*> made;
    for (const QString& caption : buttons)
        made << box.addButton(caption, QMessageBox::ActionRole);
    if (!made.isEmpty())
        box.setDefaultButton(qobject_cast<QPushButton*>(made.first()));
    box.exec();
    return int(made.indexOf(box.clickedButton()));
}
