#pragma once

#include <QString>

#include <stdexcept>

// Raised when a message from the server names something the view does not
// have: a control (a seat, column, position or die out of range) or a
// picture. The handler stops before it changes anything, and the
// application's general error report shows the text.
class EViewError : public std::runtime_error {
public:
    explicit EViewError(const QString& text) : std::runtime_error(text.toStdString()) {}

    static EViewError missingControl(const QString& name) {
        return EViewError("There is no control named " + name);
    }
    static EViewError missingImage(const QString& list, int index) {
        return EViewError(QString("There is no image %1 in %2").arg(index).arg(list));
    }
};
