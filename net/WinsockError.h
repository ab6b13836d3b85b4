#pragma once

#include <QString>

// Socket errors in the Windows Sockets numbering (10000 + the BSD number) and
// its symbolic names, so that error reports read the same on every platform.
class WinsockError {
public:
    // The code corresponding to an errno value: 0 for none, and values that
    // have no counterpart stay above 10000 so they still count as errors.
    static int codeOf(int errnoValue);
    // The symbolic name of a code, or "UNKNOWN ERROR".
    static QString nameOf(int code);
    // "Error #" + code + " (" + name + ")" for an errno value.
    static QString text(int errnoValue);
};
