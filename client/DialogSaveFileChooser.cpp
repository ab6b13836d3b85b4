#include "client/DialogSaveFileChooser.h"

#include <QFileDialog>

QString DialogSaveFileChooser::saveFileName(QWidget* parent, const QString& caption,
                                            const QString& suggestion) {
    return QFileDialog::getSaveFileName(parent, caption, suggestion,
                                        QStringLiteral("Text files (*.txt);;All files (*)"));
}
