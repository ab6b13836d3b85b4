#pragma once

class QString;

// Reports an error in handling a message from the server.
class ErrorReporter {
public:
    virtual ~ErrorReporter() = default;
    // The main window shows one error box at a time, never inside the
    // message timer.
    virtual void reportError(const QString& text) = 0;
};
