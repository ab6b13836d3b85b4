#pragma once

class QByteArray;

// Sends messages to the host over the client's connection.
class HostSender {
public:
    virtual ~HostSender() = default;
    // Frames the message (adds the 0xFF) and sends it to the host.
    virtual void send(const QByteArray& message) = 0;
};
