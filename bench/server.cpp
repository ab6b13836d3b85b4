// Measures what the server spends on one queued message (a roll, a
// placement, an end of turn, each broadcast to the table) and on one step of
// the computer player, over many complete games of a scripted player in
// seat 1 against the computer player in seat 2. Also shows that an idle
// server keeps no timer running.
//
//   bench_server [games]
#include "game/BotSpeed.h"
#include "game/SystemRandom.h"
#include "net/TSock.h"
#include "protocol/Commands.h"
#include "server/BotSpeedSource.h"
#include "server/Peer.h"
#include "server/TServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

class Speed : public BotSpeedSource {
public:
    int botSpeedMs() const override { return botspeed::normalMs; }
};

// A connection that only counts what it is sent.
class CountingPeer : public Peer {
public:
    void send(const QByteArray& bytes) override { sent += bytes.size(); }
    void close() override {}
    qint64 sent = 0;
};

struct Timing {
    std::vector<qint64> ns;
    void add(qint64 value) { ns.push_back(value); }
    void print(const char* what) {
        if (ns.empty())
            return;
        std::sort(ns.begin(), ns.end());
        qint64 total = 0;
        for (qint64 value : ns)
            total += value;
        std::printf("  %-34s %8zu calls  mean %6.2f us  median %6.2f us  p99 %6.2f us\n", what,
                    ns.size(), total / 1000.0 / ns.size(), ns[ns.size() / 2] / 1000.0,
                    ns[ns.size() * 99 / 100] / 1000.0);
    }
};

// Seat 1's move: the first pair of available dice that the rules accept.
bool choosePlacement(const Game& game, int& column, int& a, int& b) {
    for (a = 0; a < 4; ++a)
        for (b = a + 1; b < 4; ++b) {
            if (!game.dice().available(a) || !game.dice().available(b))
                continue;
            column = game.dice().sum(a, b);
            if (game.checkPlacement(1, column, a, b) == Game::PlaceRefusal::None)
                return true;
        }
    return false;
}

// Plays the given number of games; seat 1's requests go through feed() and
// the dispatcher, the computer's steps through its timer handler.
void run(TServer& server, int games, Timing& messages, Timing& steps) {
    QElapsedTimer clock;
    auto handle = [&](const QByteArray& message) {
        server.feed(1, cmd::frame(message));
        while (server.socktimer().isActive()) {
            clock.start();
            server.socktimerTimer();
            messages.add(clock.nsecsElapsed());
        }
    };
    for (int game = 0; game < games; ++game) {
        handle(cmd::startgame_("Bench", "0"));
        int guard = 0;
        while (server.gameRunning() && ++guard < 100000) {
            if (server.timer1().isActive()) {
                server.timer1Timer();
            } else if (server.computertimer().isActive()) {
                clock.start();
                server.computertimerTimer();
                steps.add(clock.nsecsElapsed());
            } else if (server.currentSeat() == 1 && server.turnOpen()) {
                // Place what fits, roll at the start of the turn or to move a
                // marker off another chip, else keep.
                const Game& state = server.game();
                int column = 0, a = 0, b = 0;
                if (choosePlacement(state, column, a, b))
                    handle(cmd::placechip_(1, column, a, b));
                else if (state.markersUsed() == 0 || state.mustMoveCell())
                    handle(cmd::rollthedice_(1));
                else
                    handle(cmd::endturn_(1, "p"));
            } else {
                std::printf("stalled\n");
                return;
            }
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int games = argc > 1 ? std::max(1, atoi(argv[1])) : 2000;
    Speed speed;

    {
        SystemRandom random(7);
        TServer server(speed, random, random);
        std::printf("idle server, just created:        timers active: %s\n",
                    server.anyTimerActive() ? "YES" : "none");
        // Seat 1 plays; seats 5 and 6 watch, so every broadcast goes to three.
        for (int seat = 1; seat <= 6; ++seat) {
            server.acceptPeer(std::make_unique<CountingPeer>());
            server.feed(seat, cmd::frame(cmd::logininfo_(seat, cmd::version, "Bench")));
        }
        for (int seat = 2; seat <= 4; ++seat)
            server.connectionClosed(seat);
        while (server.socktimer().isActive())
            server.socktimerTimer();
        Timing messages, steps;
        run(server, games, messages, steps);
        std::printf("%d games, seat 1 against the computer player, 2 watching:\n", games);
        messages.print("one queued message");
        steps.print("one computer-player step");
        std::printf("idle server after the last game:  timers active: %s\n",
                    server.anyTimerActive() ? "YES" : "none");
    }

    {
        // The same with seat 1 on a real loopback socket, so that every
        // message to it costs a send call.
        SystemRandom random(7);
        TServer server(speed, random, random);
        server.Sock1().setPortName("0");
        server.Sock1().setListen(true);
        TSock client;
        client.setHostName("127.0.0.1");
        client.setPortName(QString::number(server.Sock1().localPort()));
        client.OnRead = [](TSock* s, int) { s->Receive(); };
        client.Open();
        QElapsedTimer wait;
        wait.start();
        while (server.seatCount() < 1 && wait.elapsed() < 3000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        server.feed(1, cmd::frame(cmd::logininfo_(1, cmd::version, "Bench")));
        while (server.socktimer().isActive())
            server.socktimerTimer();
        Timing messages, steps;
        const int socketGames = std::max(1, games / 10);
        for (int game = 0; game < socketGames; ++game) {
            run(server, 1, messages, steps);
            QCoreApplication::processEvents(); // let the client drain its socket
        }
        std::printf("%d games, seat 1 on a loopback socket:\n", socketGames);
        messages.print("one queued message");
        steps.print("one computer-player step");
    }
    return 0;
}
