#pragma once

#include "net/HostLookup.h"
#include "net/SockAddress.h"
#include "net/WinsockError.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <stdexcept>

class QSocketNotifier;

// Raised by TSock operations with one of the component's fixed texts.
class ESockException : public std::runtime_error {
public:
    explicit ESockException(const QString& text) : std::runtime_error(text.toStdString()) {}
    QString text() const { return QString::fromStdString(what()); }
};

// The kinds of progress and error report a TSock gives through OnInfo.
enum class TSocketInfo { Lookup, Connect, Close, Listen, Receive, Send, Accept, Error };

// The program's event-driven, non-blocking TCP endpoint: either a listener
// that takes incoming connections or one connection. Readiness comes from
// QSocketNotifier on the event loop; nothing ever waits. It moves raw bytes:
// nothing is added to what is sent and nothing arriving is split or joined.
class TSock : public QObject {
    Q_OBJECT
public:
    using NotifyEvent = std::function<void(TSock* sender)>;
    using InfoEvent = std::function<void(TSock* sender, TSocketInfo kind, const QString& msg)>;
    using ReadEvent = std::function<void(TSock* sender, int count)>;

    explicit TSock(QObject* parent = nullptr);
    // Closes the socket first if it is listening or connected; a connection
    // reports "Socket Closed" through OnInfo while the object is still whole.
    // That handler must not delete the sender, and an owner that is itself
    // being torn down should clear OnInfo first if its state is already gone.
    // Connections accepted by a listener are destroyed before the listener
    // closes, so their reports come while the listener is still listening.
    ~TSock() override;

    // Starts a connection to hostName():portName(). Returns isConnected();
    // an object that already holds a socket does nothing else. A name with
    // several addresses (IPv4 ones first) is tried address by address until
    // one connects; only the failure of the last is reported, with the first
    // one's error.
    bool Open();
    // Always allowed, never raises; true when the socket layer accepted the close.
    bool Close();
    // Queues the bytes and hands as much as possible to the network now.
    bool Send(const QByteArray& bytes);
    // Takes the whole receive buffer.
    QByteArray Receive();
    // Takes the first count bytes (all of them when count is -1 or too large).
    QByteArray Receive(int count);
    // On a listener: accepts one waiting connection into a new object owned
    // by the listener, with the handlers copied. newSock is null on failure.
    bool Accept(TSock*& newSock);

    // Starts (true) or stops (false) listening on the bind address.
    void setListen(bool on);
    // The local address a listener binds to: empty (the default) for every
    // address of the machine, IPv6 and IPv4 (IPv4 alone where the machine
    // has no IPv6), else a dotted IPv4 address such as "127.0.0.1" or an IPv6
    // address such as "::1", which takes connections made to that address
    // only. Takes effect at the next setListen(true).
    QString bindAddress() const { return m_bindAddress; }
    void setBindAddress(const QString& address) { m_bindAddress = address; }
    bool isListening() const { return m_listening; }
    bool isConnected() const { return m_connected; }
    bool hasSocket() const { return m_fd >= 0; }

    // A host name, a dotted IPv4 address or an IPv6 address (with or
    // without [brackets]). On an accepted connection: the peer's address,
    // dotted for an IPv4 peer even on a dual-stack listener.
    QString hostName() const { return m_hostName; }
    void setHostName(const QString& name);
    QString portName() const { return m_portName; }
    void setPortName(const QString& name);

    // The port the socket is bound to locally (useful after listening on "0").
    int localPort() const;
    // The local address the socket is bound to, dotted for IPv4 ("0.0.0.0"
    // for every address, IPv6 taken too or not); empty without a socket.
    QString localAddress() const;
    // A listener that takes IPv6 peers (dual-stack, or bound to an IPv6
    // address).
    bool acceptsIpv6() const;
    // The peer's port, recorded at accept.
    int peerPort() const { return m_peerPort; }

    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }

    // Bytes waiting in the receive buffer and in the pending-output buffer.
    int receivedCount() const { return int(m_received.size()); }
    int pendingOutput() const { return int(m_pending.size()); }

    NotifyEvent OnConnect;
    NotifyEvent OnDisconnect;
    InfoEvent OnInfo;
    ReadEvent OnRead;
    NotifyEvent OnWrite;
    NotifyEvent OnAccept;

    // "Error #" + code + " (" + name + ")" as reported through OnInfo, for an
    // errno value of this platform mapped to the Windows Sockets code.
    static QString errorText(int errnoValue) { return WinsockError::text(errnoValue); }
    // The Windows Sockets code corresponding to an errno value (0 for none).
    static int winsockCode(int errnoValue) { return WinsockError::codeOf(errnoValue); }
    // The symbolic name of a Windows Sockets code, or "UNKNOWN ERROR".
    static QString winsockName(int code) { return WinsockError::nameOf(code); }
    // Forgets the process-wide host address cache (for tests).
    static void clearHostCache() { HostLookup::clearCache(); }
    // How many names the resolver was asked for since program start (for tests).
    static int resolverCalls() { return HostLookup::resolverCalls(); }

private:
    void report(TSocketInfo kind, const QString& msg);
    void onReadable();
    void onWritable();
    void onConnectResult(int error);
    void handleAcceptEvent();
    void handleReadEvent();
    void handleWriteEvent();
    // Makes one send call with the whole pending buffer; false on a hard error.
    bool flushPending();
    void startNotifiers(bool forListener);
    void stopNotifiers();
    void updateWriteNotifier();
    QList<SockAddress> lookupHost(const QString& name);
    // Makes a socket for the next address of m_addresses that the socket
    // layer takes and starts connecting it, replacing the socket held. False,
    // with `error` set to the first refusal, when no address is left.
    bool connectNext(int& error);
    SockAddress localSockAddress() const;
    quint16 lookupPort(const QString& name);

    int m_fd = -1;
    bool m_listening = false;
    bool m_connected = false;
    bool m_connecting = false;
    // A write event is owed once after connecting or accepting, as the socket
    // layer reports a fresh connection as writable.
    bool m_writeEventDue = false;
    // The last send met a hard error: waiting for writability would spin, so
    // the read side is left to notice the dead connection.
    bool m_writeBroken = false;
    // The addresses of the name being connected to, the next one to try,
    // the error of the first that failed, and a serial number of attempts so
    // that a late result of an abandoned attempt is ignored.
    QList<SockAddress> m_addresses;
    int m_nextAddress = 0;
    int m_firstConnectError = 0;
    int m_connectAttempt = 0;
    QString m_hostName;
    QString m_portName;
    QString m_bindAddress;
    int m_tag = 0;
    int m_peerPort = 0;
    QByteArray m_received;
    QByteArray m_pending;
    QSocketNotifier* m_readNotifier = nullptr;
    QSocketNotifier* m_writeNotifier = nullptr;
};
