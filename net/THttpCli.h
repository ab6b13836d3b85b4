#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <map>

class CurlLibrary;
class QIODevice;
class QSocketNotifier;
class QTimer;

// A small HTTP client that fetches one document with GET and writes its body
// into a device as it arrives. It runs on the event loop: libcurl's multi
// interface is told about socket readiness by socket notifiers and about
// its time-outs by a timer, so nothing blocks and no thread is started.
//
// Every request ends with exactly one OnRequestDone, delivered from the
// event loop (never from inside get() or abort()). A request fails on an
// HTTP status of 400 or more, on a transfer error, when fewer body bytes
// arrive than the response announced, when the document is larger than the
// set maximum, or when it is aborted (status 404, "Connection aborted on
// request").
//
// HTTPS servers must show a certificate that the system trusts for the host
// name asked for. Plain HTTP is only spoken with this machine (a loopback
// address): anyone on the way to another host could change what arrives.
class THttpCli : public QObject {
    Q_OBJECT
public:
    using HeaderEvent = std::function<void(THttpCli* sender, const QByteArray& line)>;
    using NotifyEvent = std::function<void(THttpCli* sender)>;
    using DataEvent = std::function<void(THttpCli* sender, qint64 count)>;
    using DoneEvent =
        std::function<void(THttpCli* sender, bool ok, int status, const QString& reason)>;

    explicit THttpCli(QObject* parent = nullptr);
    // Abandons a running request without reporting it.
    ~THttpCli() override;

    QString URL() const { return m_url; }
    void setURL(const QString& url) { m_url = url; }
    QString localAddr() const { return m_localAddr; }
    void setLocalAddr(const QString& address) { m_localAddr = address; }
    QString agent() const { return m_agent; }
    void setAgent(const QString& agent) { m_agent = agent; }
    QString accept() const { return m_accept; }
    void setAccept(const QString& accept) { m_accept = accept; }
    // Empty means no proxy, whatever the environment says.
    QString proxy() const { return m_proxy; }
    void setProxy(const QString& proxy) { m_proxy = proxy; }
    // A transfer that brings no byte for this many seconds fails (0: never).
    int stallTimeout() const { return m_stallTimeout; }
    void setStallTimeout(int seconds) { m_stallTimeout = seconds; }
    // A document announced or arriving larger than this many bytes fails the
    // request before more is written (0: no limit).
    qint64 maxDocSize() const { return m_maxDocSize; }
    void setMaxDocSize(qint64 bytes) { m_maxDocSize = bytes; }
    // A file of certificate authorities trusted instead of the system's
    // (empty: the system's).
    void setCaFile(const QString& path) { m_caFile = path; }
    // Where the body goes; the device must be open for writing. Not owned.
    void setRcvdStream(QIODevice* device) { m_sink = device; }

    // Starts the request. False (with nothing started and nothing reported)
    // while another request runs.
    bool get();
    // Stops the running request; it then ends as a failure. Does nothing
    // when no request runs.
    void abort();
    bool isBusy() const { return m_easy != nullptr || m_donePending; }

    int statusCode() const { return m_status; }
    QString reasonPhrase() const { return m_reason; }
    // Body bytes received by the running or last request.
    qint64 rcvdCount() const { return m_received; }
    // The length the response announced, or -1 when it announced none or one
    // that is not a plain decimal number.
    qint64 contentLength() const { return m_contentLength; }
    // The running or last request was stopped for a document larger than
    // maxDocSize().
    bool docTooLarge() const { return m_tooLarge; }
    // The running or last request was stopped for plain HTTP from another
    // machine.
    bool plainHttpRefused() const { return m_insecure; }

    // Each response header line, without its line end (the status line too).
    HeaderEvent OnHeaderData;
    // The body of a successful response begins.
    NotifyEvent OnDocBegin;
    // A piece of the body was written; count is the running total.
    DataEvent OnDocData;
    // The end of the request. Handlers must not delete the client directly
    // (deleteLater is fine): the header and data events come from inside libcurl.
    DoneEvent OnRequestDone;

private:
    struct Watch {
        QSocketNotifier* read = nullptr;
        QSocketNotifier* write = nullptr;
    };

    static int socketCallback(void* easy, int fd, int what, void* self, void* socketp);
    static int timerCallback(void* multi, long timeoutMs, void* self);
    static size_t headerCallback(char* data, size_t size, size_t count, void* self);
    static size_t writeCallback(char* data, size_t size, size_t count, void* self);

    bool startMulti();
    void watchSocket(int fd, int what);
    void unwatchAll();
    void onSocketReady(int fd, bool readable);
    void onTimeout();
    void drive(int fd, int eventMask);
    void collectFinished();
    void finish(bool ok, int status, const QString& reason);
    void releaseEasy();
    // False when the transfer must stop.
    bool handleHeaderLine(const QByteArray& line);
    bool connectionAllowed() const;

    QString m_url;
    QString m_localAddr = QStringLiteral("0.0.0.0");
    QString m_agent;
    QString m_accept;
    QString m_proxy;
    int m_stallTimeout = 60;
    qint64 m_maxDocSize = 0;
    QString m_caFile;
    QIODevice* m_sink = nullptr;

    const CurlLibrary* m_curl = nullptr; // set with the multi handle
    void* m_multi = nullptr;
    void* m_easy = nullptr;
    void* m_headers = nullptr;
    QTimer* m_timer = nullptr;
    std::map<int, Watch> m_watches;
    // Set while libcurl runs; abort() then only asks the callbacks to stop,
    // as a handle must not be removed from inside libcurl.
    int m_inCurl = 0;
    bool m_abortRequested = false;
    bool m_docBegun = false;
    bool m_writeFailed = false;
    bool m_tooLarge = false;
    // Set when a response came over plain HTTP from another machine.
    bool m_insecure = false;
    // A finished request's report is still on its way; no new one starts.
    bool m_donePending = false;
    int m_status = 0;
    QString m_reason;
    qint64 m_received = 0;
    qint64 m_contentLength = -1;
    // False once the response gave lengths that disagree or cannot be read.
    bool m_lengthKnown = true;
};
