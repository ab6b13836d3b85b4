#pragma once

class QString;

// Writes the client's own notices into the chat.
class SystemLineWriter {
public:
    virtual ~SystemLineWriter() = default;
    // Writes a system line ("0+" + text) into the chat in the system colour.
    virtual void systemLine(const QString& text) = 0;
};
