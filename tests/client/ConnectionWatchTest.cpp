// The watch over a joining copy's connection, against real sockets on
// loopback: a join that cannot be made is told within the time-out, with its
// reason, instead of leaving the loading line for ever; a game whose host
// goes is told before the close report ends the program; and the close
// reports of abandoned attempts never reach the client's close handling.
#include "client/ConnectionWatch.h"
#include "client/ClientState.h"
#include "net/TSock.h"
#include "support/EventLoop.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// A plain listener on 127.0.0.1 that accepts only when told, so that a test
// decides when and how the host's end closes.
class RawListener {
public:
    explicit RawListener(int port = 0) {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int yes = 1;
        ::setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(quint16(port));
        m_ok = ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
               ::listen(m_fd, 4) == 0;
        socklen_t length = sizeof address;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
    }
    ~RawListener() {
        if (m_peer >= 0)
            ::close(m_peer);
        ::close(m_fd);
    }
    bool ok() const { return m_ok; }
    int port() const { return m_port; }
    bool accept() {
        m_peer = ::accept(m_fd, nullptr, nullptr);
        return m_peer >= 0;
    }
    void closePeer(bool reset) {
        if (reset) {
            const linger abort{1, 0};
            ::setsockopt(m_peer, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        }
        ::close(m_peer);
        m_peer = -1;
    }

private:
    int m_fd = -1;
    int m_peer = -1;
    int m_port = 0;
    bool m_ok = false;
};

// A port on loopback where nobody listens.
int closedPort() {
    RawListener gone;
    return gone.port();
}

class ConnectionWatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Stands for the client's own close handling, which ends the program.
        sock.OnInfo = [this](TSock*, TSocketInfo, const QString& text) {
            if (text == "Socket Closed")
                ++closesPassedOn;
        };
        watch = std::make_unique<ConnectionWatch>(sock, state);
        watch->setTimeoutMs(400);
    }
    void TearDown() override {
        sock.OnInfo = nullptr;
        watch.reset();
    }

    void join(int port) {
        sock.setHostName("127.0.0.1");
        sock.setPortName(QString::number(port));
        watch->joining("127.0.0.1");
        sock.Open();
    }

    TSock sock;
    ClientState state;
    std::unique_ptr<ConnectionWatch> watch;
    int closesPassedOn = 0;
};
} // namespace

TEST_F(ConnectionWatchTest, AJoinToAClosedPortIsToldAsRefusedWellWithinTenSeconds) {
    watch->setTimeoutMs(ConnectionWatch::defaultTimeoutMs);
    QSignalSpy failed(watch.get(), &ConnectionWatch::joinFailed);
    QElapsedTimer clock;
    clock.start();
    join(closedPort());
    ASSERT_TRUE(waitUntil([&] { return failed.count() > 0; }, 10000));
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_EQ(failed.count(), 1);
    EXPECT_EQ(failed.at(0).at(0).toString(), "127.0.0.1");
    EXPECT_TRUE(failed.at(0).at(1).toString().contains("refused"));
    EXPECT_EQ(closesPassedOn, 0) << "a failed join must not end the program";
}

// The host's machine takes the connection (its listener's backlog) but no
// game answers with the login request: after the time-out that is "no
// answer", and the attempt is closed without ending the program.
TEST_F(ConnectionWatchTest, AHostThatNeverAsksForTheLoginIsToldAsNoAnswer) {
    RawListener silent;
    ASSERT_TRUE(silent.ok());
    QSignalSpy failed(watch.get(), &ConnectionWatch::joinFailed);
    join(silent.port());
    ASSERT_TRUE(waitUntil([&] { return failed.count() > 0; }, 5000));
    EXPECT_EQ(failed.at(0).at(1).toString(), ConnectionWatch::noAnswerReason());
    EXPECT_TRUE(failed.at(0).at(1).toString().contains("no answer"));
    EXPECT_FALSE(sock.hasSocket()) << "the attempt is abandoned";
    EXPECT_EQ(closesPassedOn, 0);
    spin(100);
    EXPECT_EQ(failed.count(), 1) << "told once";
}

TEST_F(ConnectionWatchTest, AHostNameThatIsNotFoundIsToldAfterTheSocketLayersOwnReport) {
    QSignalSpy failed(watch.get(), &ConnectionWatch::joinFailed);
    watch->joining("no-such-host.invalid");
    // The socket layer's report is a modal box; the watch waits for it.
    QDialog box;
    box.setModal(true);
    box.show();
    watch->lookupFailed();
    spin(250);
    EXPECT_EQ(failed.count(), 0) << "shown on top of the socket layer's box";
    box.close();
    ASSERT_TRUE(waitUntil([&] { return failed.count() > 0; }));
    EXPECT_EQ(failed.at(0).at(0).toString(), "no-such-host.invalid");
    EXPECT_EQ(failed.at(0).at(1).toString(), ConnectionWatch::notFoundReason());
}

TEST_F(ConnectionWatchTest, AHostThatClosesBeforeTheLoginFailsTheJoinWithoutEndingTheProgram) {
    RawListener host;
    QSignalSpy failed(watch.get(), &ConnectionWatch::joinFailed);
    join(host.port());
    ASSERT_TRUE(waitUntil([&] { return sock.isConnected(); }));
    ASSERT_TRUE(host.accept());
    host.closePeer(false);
    ASSERT_TRUE(waitUntil([&] { return failed.count() > 0; }));
    EXPECT_EQ(failed.at(0).at(1).toString(), ConnectionWatch::closedBeforeLoginReason());
    EXPECT_EQ(closesPassedOn, 0);
}

// After the login, the host's close is told first and then passed on, so
// the program ends with a word: orderly when the host closed, lost when the
// connection broke.
TEST_F(ConnectionWatchTest, TheHostsCloseIsToldBeforeTheProgramEnds) {
    for (const bool reset : {false, true}) {
        RawListener host;
        closesPassedOn = 0;
        int closesWhenTold = -1;
        QSignalSpy ended(watch.get(), &ConnectionWatch::connectionEnded);
        auto told = QObject::connect(watch.get(), &ConnectionWatch::connectionEnded,
                                     [&] { closesWhenTold = closesPassedOn; });
        state.loggedIn = false;
        join(host.port());
        ASSERT_TRUE(waitUntil([&] { return sock.isConnected(); }));
        ASSERT_TRUE(host.accept());
        state.loggedIn = true;
        host.closePeer(reset);
        ASSERT_TRUE(waitUntil([&] { return closesPassedOn > 0; })) << "reset " << reset;
        ASSERT_EQ(ended.count(), 1) << "reset " << reset;
        EXPECT_EQ(ended.at(0).at(1).toBool(), !reset) << "orderly unless reset";
        EXPECT_EQ(closesWhenTold, 0) << "told before the program ends";
        QObject::disconnect(told);
    }
}

TEST_F(ConnectionWatchTest, AnExpectedCloseIsNotToldAgain) {
    RawListener host;
    watch->setCloseExpected([] { return true; }); // "Game is full" says it already
    QSignalSpy ended(watch.get(), &ConnectionWatch::connectionEnded);
    join(host.port());
    ASSERT_TRUE(waitUntil([&] { return sock.isConnected(); }));
    ASSERT_TRUE(host.accept());
    state.loggedIn = true;
    host.closePeer(false);
    ASSERT_TRUE(waitUntil([&] { return closesPassedOn > 0; }));
    EXPECT_EQ(ended.count(), 0);
}

TEST_F(ConnectionWatchTest, TryingAgainReachesAHostThatHasStartedMeanwhile) {
    const int port = closedPort();
    QSignalSpy failed(watch.get(), &ConnectionWatch::joinFailed);
    join(port);
    ASSERT_TRUE(waitUntil([&] { return failed.count() > 0; }));
    RawListener host(port);
    ASSERT_TRUE(host.ok());
    watch->retry();
    ASSERT_TRUE(waitUntil([&] { return sock.isConnected(); }));
    state.loggedIn = true;
    spin(watch->timeoutMs() + 100);
    EXPECT_EQ(failed.count(), 1) << "the second attempt did not fail";
    EXPECT_EQ(closesPassedOn, 0) << "closing the first attempt ended nothing";
}

TEST(ConnectionWatchReason, NamesTheCommonConnectErrorsInPlainWords) {
    EXPECT_TRUE(
        ConnectionWatch::reasonForError("Error #10061 (WSAECONNREFUSED)").contains("refused"));
    EXPECT_EQ(ConnectionWatch::reasonForError("Error #10060 (WSAETIMEDOUT)"),
              ConnectionWatch::noAnswerReason());
    EXPECT_TRUE(ConnectionWatch::reasonForError("Error #10065 (WSAEHOSTUNREACH)")
                    .contains("cannot be reached"));
    EXPECT_TRUE(
        ConnectionWatch::reasonForError("Error #20099 (UNKNOWN ERROR)").contains("Error #20099"));
}
