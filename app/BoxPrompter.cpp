#include "app/BoxPrompter.h"

#include <QMessageBox>

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
