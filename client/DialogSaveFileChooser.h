#pragma once

#include "client/SaveFileChooser.h"

// Asks with the system's file dialog.
class DialogSaveFileChooser : public SaveFileChooser {
public:
    QString saveFileName(QWidget* parent, const QString& caption,
                         const QString& suggestion) override;
};
