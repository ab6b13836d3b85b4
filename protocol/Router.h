#pragma once

#include "protocol/Commands.h"

#include <QByteArray>
#include <QHash>

#include <functional>

// Routes a message to the handler registered for its exact (case-sensitive)
// command name, passing the argument text and any context. Empty messages,
// messages without "+" and unknown commands are ignored.
template <typename... Context> class Router {
public:
    using Handler = std::function<void(const QByteArray& args, Context... context)>;

    void add(const char* command, Handler handler) {
        m_handlers.insert(command, std::move(handler));
    }

    // True when a handler took the message.
    bool dispatch(const QByteArray& message, Context... context) const {
        const cmd::Split parts = cmd::split(message);
        if (parts.command.isEmpty())
            return false;
        const auto it = m_handlers.constFind(parts.command);
        if (it == m_handlers.constEnd())
            return false;
        it.value()(parts.args, context...);
        return true;
    }

    bool handles(const QByteArray& command) const { return m_handlers.contains(command); }

private:
    QHash<QByteArray, Handler> m_handlers;
};
