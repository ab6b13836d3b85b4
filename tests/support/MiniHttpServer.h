#pragma once

#include "net/TSock.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QVariant>

// A one-document web server on a free loopback port, built on TSock, that
// answers every GET with the configured reply and can misbehave on purpose:
// announce more or less than it sends, announce a length that is no number,
// or stop answering in the middle of the body.
class MiniHttpServer {
public:
    struct Reply {
        int status = 200;
        QByteArray reason = "OK";
        QByteArray body;
        // The announced Content-Length: -1 for the body's size, -2 for none.
        qint64 announced = -1;
        // When set, sent as the Content-Length value as it is, in place of
        // `announced`.
        QByteArray lengthText;
        // How many body bytes are sent: -1 for all of them.
        qint64 sent = -1;
        // Keep the connection open after sending instead of closing it.
        bool stall = false;
    };

    MiniHttpServer() {
        m_listener.setPortName("0");
        m_listener.OnAccept = [this](TSock* l) {
            TSock* s = nullptr;
            if (!l->Accept(s))
                return;
            s->OnInfo = nullptr;
            s->OnRead = [this](TSock* c, int) { onRead(c); };
            s->OnWrite = [this](TSock* c) { closeIfFlushed(c); };
            m_connections << s;
        };
        m_listener.setListen(true);
    }
    ~MiniHttpServer() {
        for (const QPointer<TSock>& s : m_connections) {
            if (s)
                s->OnInfo = nullptr;
        }
    }

    int port() const { return m_listener.localPort(); }
    QString url(const QString& path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path);
    }
    // Drops every connection (for a server that stalled).
    void closeAll() {
        for (const QPointer<TSock>& s : m_connections) {
            if (s)
                s->Close();
        }
    }

    Reply reply;
    QList<QByteArray> requests;

private:
    void onRead(TSock* c) {
        QByteArray& buffer = m_buffers[c];
        buffer += c->Receive();
        const int end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        requests << buffer.left(end);
        buffer.clear();
        respond(c);
    }

    void respond(TSock* c) {
        QByteArray out =
            "HTTP/1.0 " + QByteArray::number(reply.status) + " " + reply.reason + "\r\n";
        const qint64 announced = reply.announced == -1 ? reply.body.size() : reply.announced;
        if (!reply.lengthText.isNull())
            out += "Content-Length: " + reply.lengthText + "\r\n";
        else if (announced >= 0)
            out += "Content-Length: " + QByteArray::number(announced) + "\r\n";
        out += "Content-Type: application/octet-stream\r\n\r\n";
        out += reply.sent < 0 ? reply.body : reply.body.left(reply.sent);
        c->setProperty("closing", !reply.stall);
        c->Send(out);
        closeIfFlushed(c);
    }

    void closeIfFlushed(TSock* c) {
        if (c->property("closing").toBool() && c->pendingOutput() == 0 && c->hasSocket())
            c->Close();
    }

    TSock m_listener;
    QList<QPointer<TSock>> m_connections;
    QHash<TSock*, QByteArray> m_buffers;
};
