#pragma once

#include <QString>

class QWidget;

// Asks where to save a file; tests answer it in place of the dialog.
class SaveFileChooser {
public:
    virtual ~SaveFileChooser() = default;
    // The path chosen, or an empty text when the user cancelled.
    virtual QString saveFileName(QWidget* parent, const QString& caption,
                                 const QString& suggestion) = 0;
};
