#include "net/THttpCli.h"

#include <QIODevice>

#include <QMetaObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>

#include "net/CurlLibrary.h"

namespace {

CURLM* multiOf(void* m) {
    return static_cast<CURLM*>(m);
}
CURL* easyOf(void* e) {
    return static_cast<CURL*>(e);
}

// Increments a counter for the lifetime of a scope.
struct Nesting {
    explicit Nesting(int& counter) : m_counter(counter) { ++m_counter; }
    ~Nesting() { --m_counter; }
    int& m_counter;
};

} // namespace

THttpCli::THttpCli(QObject* parent) : QObject(parent) {
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &THttpCli::onTimeout);
}

THttpCli::~THttpCli() {
    releaseEasy();
    if (m_multi != nullptr) {
        Nesting n(m_inCurl);
        m_curl->multi_cleanup(multiOf(m_multi));
    }
    m_multi = nullptr;
    unwatchAll();
}

bool THttpCli::startMulti() {
    // The library is started on the first request: most runs never make one.
    if (m_multi != nullptr)
        return true;
    m_curl = CurlLibrary::get();
    if (m_curl == nullptr)
        return false;
    m_multi = m_curl->multi_init();
    if (m_multi == nullptr)
        return false;
    m_curl->multi_setopt(multiOf(m_multi), CURLMOPT_SOCKETFUNCTION, &THttpCli::socketCallback);
    m_curl->multi_setopt(multiOf(m_multi), CURLMOPT_SOCKETDATA, this);
    m_curl->multi_setopt(multiOf(m_multi), CURLMOPT_TIMERFUNCTION, &THttpCli::timerCallback);
    m_curl->multi_setopt(multiOf(m_multi), CURLMOPT_TIMERDATA, this);
    return true;
}

// ---- the request ----------------------------------------------------------

bool THttpCli::get() {
    if (isBusy())
        return false;
    m_abortRequested = false;
    m_docBegun = false;
    m_writeFailed = false;
    m_tooLarge = false;
    m_insecure = false;
    m_status = 0;
    m_reason.clear();
    m_received = 0;
    m_contentLength = -1;

    CURL* easy = startMulti() ? m_curl->easy_init() : nullptr;
    if (easy == nullptr) {
        const QString why = CurlLibrary::loadError();
        finish(false, 0,
               why.isEmpty() ? QStringLiteral("Could not start the request")
                             : QStringLiteral("Could not start the request: ") + why);
        return true;
    }
    m_easy = easy;
    m_curl->easy_setopt(easy, CURLOPT_URL, m_url.toUtf8().constData());
    m_curl->easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    m_curl->easy_setopt(easy, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_0));
    m_curl->easy_setopt(easy, CURLOPT_USERAGENT, m_agent.toUtf8().constData());
    m_curl->easy_setopt(easy, CURLOPT_PROXY, m_proxy.toUtf8().constData());
    if (!m_localAddr.isEmpty())
        m_curl->easy_setopt(easy, CURLOPT_INTERFACE,
                            (QStringLiteral("host!") + m_localAddr).toUtf8().constData());
    m_curl->easy_setopt(easy, CURLOPT_IPRESOLVE, long(CURL_IPRESOLVE_V4));
    m_curl->easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    // Only web addresses: a configured "file:" or other scheme is refused.
    // A secure address is never redirected to a plain one.
    m_curl->easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    const bool secure = m_url.startsWith(QStringLiteral("https:"), Qt::CaseInsensitive);
    m_curl->easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, secure ? "https" : "http,https");
    // The server must prove it is the host asked for. These are libcurl's
    // defaults, set here so that nothing can have turned them off.
    m_curl->easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    m_curl->easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    m_curl->easy_setopt(easy, CURLOPT_SSLVERSION, long(CURL_SSLVERSION_TLSv1_2));
    if (!m_caFile.isEmpty())
        m_curl->easy_setopt(easy, CURLOPT_CAINFO, m_caFile.toLocal8Bit().constData());
    if (m_maxDocSize > 0)
        m_curl->easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, curl_off_t(m_maxDocSize));
    m_curl->easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    m_curl->easy_setopt(easy, CURLOPT_MAXREDIRS, 5L);
    // A status of 400 or more ends the transfer before any body is written.
    m_curl->easy_setopt(easy, CURLOPT_FAILONERROR, 1L);
    m_curl->easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, 30L);
    if (m_stallTimeout > 0) {
        m_curl->easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
        m_curl->easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, long(m_stallTimeout));
    }
    curl_slist* headers = nullptr;
    if (!m_accept.isEmpty())
        headers = m_curl->slist_append(headers, ("Accept: " + m_accept).toUtf8().constData());
    m_headers = headers;
    m_curl->easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    m_curl->easy_setopt(easy, CURLOPT_HEADERFUNCTION, &THttpCli::headerCallback);
    m_curl->easy_setopt(easy, CURLOPT_HEADERDATA, this);
    m_curl->easy_setopt(easy, CURLOPT_WRITEFUNCTION, &THttpCli::writeCallback);
    m_curl->easy_setopt(easy, CURLOPT_WRITEDATA, this);

    CURLMcode added;
    {
        Nesting n(m_inCurl);
        added = m_curl->multi_add_handle(multiOf(m_multi), easy);
    }
    if (added != CURLM_OK)
        finish(false, 0, QString::fromUtf8(m_curl->multi_strerror(added)));
    return true;
}

void THttpCli::abort() {
    if (m_easy == nullptr)
        return;
    m_abortRequested = true;
    // From inside libcurl the callbacks refuse the next piece instead, and
    // the transfer ends on its own.
    if (m_inCurl > 0)
        return;
    finish(false, 404, QStringLiteral("Connection aborted on request"));
}

void THttpCli::releaseEasy() {
    if (m_easy != nullptr && m_multi != nullptr) {
        Nesting n(m_inCurl);
        m_curl->multi_remove_handle(multiOf(m_multi), easyOf(m_easy));
        m_curl->easy_cleanup(easyOf(m_easy));
        m_easy = nullptr;
    }
    if (m_headers != nullptr) {
        m_curl->slist_free_all(static_cast<curl_slist*>(m_headers));
        m_headers = nullptr;
    }
}

void THttpCli::finish(bool ok, int status, const QString& reason) {
    releaseEasy();
    m_status = status;
    m_reason = reason;
    m_donePending = true;
    // Reported from the event loop, so that whoever called abort() finishes
    // its own work before it hears of the end.
    QMetaObject::invokeMethod(
        this,
        [this, ok, status, reason] {
            m_donePending = false;
            if (OnRequestDone)
                OnRequestDone(this, ok, status, reason);
        },
        Qt::QueuedConnection);
}

void THttpCli::collectFinished() {
    int left = 0;
    while (CURLMsg* msg = m_curl->multi_info_read(multiOf(m_multi), &left)) {
        if (msg->msg != CURLMSG_DONE || msg->easy_handle != m_easy)
            continue;
        const CURLcode result = msg->data.result;
        if (m_abortRequested) {
            finish(false, 404, QStringLiteral("Connection aborted on request"));
        } else if (m_tooLarge || result == CURLE_FILESIZE_EXCEEDED) {
            m_tooLarge = true;
            finish(false, m_status, QStringLiteral("The document is too large"));
        } else if (m_insecure) {
            finish(false, m_status,
                   QStringLiteral("Plain HTTP is only spoken with this machine; use HTTPS"));
        } else if (result == CURLE_OK) {
            curl_off_t announced = -1;
            m_curl->easy_getinfo(easyOf(m_easy), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
            // A length read differently here and by libcurl is no length.
            if (announced != m_contentLength)
                m_contentLength = -1;
            // A body other than announced is a broken download, whatever the
            // transfer layer thought of it.
            if (m_contentLength >= 0 && m_received != m_contentLength)
                finish(false, m_status, QStringLiteral("Transfer ended early"));
            else if (m_status >= 400)
                finish(false, m_status, m_reason);
            else
                finish(true, m_status, m_reason);
        } else if (result == CURLE_HTTP_RETURNED_ERROR) {
            finish(false, m_status, m_reason);
        } else if (m_writeFailed) {
            finish(false, m_status, QStringLiteral("Could not write the document"));
        } else {
            finish(false, m_status, QString::fromUtf8(m_curl->easy_strerror(result)));
        }
        return;
    }
}

// ---- libcurl callbacks ----------------------------------------------------

bool THttpCli::connectionAllowed() const {
    const char* scheme = nullptr;
    m_curl->easy_getinfo(easyOf(m_easy), CURLINFO_SCHEME, &scheme);
    if (scheme != nullptr && qstricmp(scheme, "https") == 0)
        return true;
    // The address actually connected to, not the host name as written: a
    // name that resolves elsewhere cannot pass for this machine.
    const char* ip = nullptr;
    m_curl->easy_getinfo(easyOf(m_easy), CURLINFO_PRIMARY_IP, &ip);
    const QByteArray address(ip);
    return address.startsWith("127.") || address == "::1";
}

bool THttpCli::handleHeaderLine(const QByteArray& raw) {
    QByteArray line = raw;
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    if (line.isEmpty()) {
        // The end of one response's header: only a successful final one
        // carries the document.
        if (!m_docBegun && m_status >= 200 && m_status < 300) {
            m_docBegun = true;
            if (OnDocBegin)
                OnDocBegin(this);
        }
        return true;
    }
    if (line.startsWith("HTTP/")) {
        // A new response (after a redirection the earlier one is forgotten).
        const QList<QByteArray> parts = line.split(' ');
        m_status = parts.size() > 1 ? parts.at(1).toInt() : 0;
        const int reasonAt = line.indexOf(' ', line.indexOf(' ') + 1);
        m_reason = reasonAt > 0 ? QString::fromLatin1(line.mid(reasonAt + 1)) : QString();
        m_contentLength = -1;
        m_lengthKnown = true;
        if (!connectionAllowed()) {
            m_insecure = true;
            return false;
        }
    } else if (line.toLower().startsWith("content-length:")) {
        // Only plain decimal digits; a second length that disagrees with the
        // first leaves the response without a length it can be checked by.
        const QByteArray value = line.mid(15).trimmed();
        const bool digits =
            !value.isEmpty() && value.size() <= 18 &&
            std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
        const qint64 length = digits ? value.toLongLong() : -1;
        if (!digits || (m_contentLength >= 0 && m_contentLength != length)) {
            m_contentLength = -1;
            m_lengthKnown = false;
        } else if (m_lengthKnown) {
            m_contentLength = length;
        }
        if (m_maxDocSize > 0 && m_contentLength > m_maxDocSize) {
            m_tooLarge = true;
            return false;
        }
    }
    if (OnHeaderData)
        OnHeaderData(this, line);
    return true;
}

size_t THttpCli::headerCallback(char* data, size_t size, size_t count, void* self) {
    auto* cli = static_cast<THttpCli*>(self);
    const size_t bytes = size * count;
    if (cli->m_abortRequested)
        return 0;
    if (!cli->handleHeaderLine(QByteArray(data, qsizetype(bytes))))
        return 0;
    return cli->m_abortRequested ? 0 : bytes;
}

size_t THttpCli::writeCallback(char* data, size_t size, size_t count, void* self) {
    auto* cli = static_cast<THttpCli*>(self);
    const size_t bytes = size * count;
    if (cli->m_abortRequested)
        return 0;
    if (!cli->m_docBegun) {
        cli->m_docBegun = true;
        if (cli->OnDocBegin)
            cli->OnDocBegin(cli);
        if (cli->m_abortRequested)
            return 0;
    }
    if (cli->m_maxDocSize > 0 && cli->m_received + qint64(bytes) > cli->m_maxDocSize) {
        cli->m_tooLarge = true;
        return 0;
    }
    if (cli->m_sink != nullptr && cli->m_sink->write(data, qint64(bytes)) != qint64(bytes)) {
        cli->m_writeFailed = true;
        return 0;
    }
    cli->m_received += qint64(bytes);
    if (cli->OnDocData)
        cli->OnDocData(cli, cli->m_received);
    return bytes;
}

int THttpCli::socketCallback(void*, int fd, int what, void* self, void*) {
    static_cast<THttpCli*>(self)->watchSocket(fd, what);
    return 0;
}

int THttpCli::timerCallback(void*, long timeoutMs, void* self) {
    auto* cli = static_cast<THttpCli*>(self);
    if (timeoutMs < 0)
        cli->m_timer->stop();
    else
        cli->m_timer->start(int(qMin<long>(timeoutMs, 24L * 3600 * 1000)));
    return 0;
}

// ---- event loop -----------------------------------------------------------

void THttpCli::watchSocket(int fd, int what) {
    Watch& w = m_watches[fd];
    if (what == CURL_POLL_REMOVE) {
        // The notifier whose signal is running may be among these.
        for (QSocketNotifier* n : {w.read, w.write}) {
            if (n) {
                n->setEnabled(false);
                n->disconnect(this);
                n->deleteLater();
            }
        }
        m_watches.erase(fd);
        return;
    }
    const bool wantRead = what == CURL_POLL_IN || what == CURL_POLL_INOUT;
    const bool wantWrite = what == CURL_POLL_OUT || what == CURL_POLL_INOUT;
    if (wantRead && !w.read) {
        w.read = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(w.read, &QSocketNotifier::activated, this, [this, fd] { onSocketReady(fd, true); });
    }
    if (wantWrite && !w.write) {
        w.write = new QSocketNotifier(fd, QSocketNotifier::Write, this);
        connect(w.write, &QSocketNotifier::activated, this,
                [this, fd] { onSocketReady(fd, false); });
    }
    if (w.read)
        w.read->setEnabled(wantRead);
    if (w.write)
        w.write->setEnabled(wantWrite);
}

void THttpCli::unwatchAll() {
    for (auto& [fd, w] : m_watches) {
        Q_UNUSED(fd);
        for (QSocketNotifier* n : {w.read, w.write}) {
            if (n) {
                n->setEnabled(false);
                n->disconnect(this);
                n->deleteLater();
            }
        }
    }
    m_watches.clear();
}

void THttpCli::onSocketReady(int fd, bool readable) {
    drive(fd, readable ? CURL_CSELECT_IN : CURL_CSELECT_OUT);
}

void THttpCli::onTimeout() {
    drive(CURL_SOCKET_TIMEOUT, 0);
}

void THttpCli::drive(int fd, int eventMask) {
    if (m_multi == nullptr)
        return;
    int running = 0;
    {
        Nesting n(m_inCurl);
        m_curl->multi_socket_action(multiOf(m_multi), fd, eventMask, &running);
    }
    collectFinished();
}
