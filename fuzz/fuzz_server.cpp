// The game server under a storm of hostile connections. A fuzz input is a
// script of events for up to ten connections: connect, send raw bytes or a
// well-formed request with hostile fields, close, be closed by the server,
// and steps of every timer. Each input gets a fresh server with scripted
// dice, and after every event the seat table and the board must be sound.
#include "FuzzScratch.h"
#include "game/Board.h"
#include "game/BotSpeed.h"
#include "game/ScriptedRandom.h"
#include "protocol/Commands.h"
#include "protocol/Messages.h"
#include "server/BotSpeedSource.h"
#include "server/Peer.h"
#include "server/TServer.h"

#include <QCoreApplication>
#include <QHash>

#include <array>
#include <cstdint>
#include <memory>

namespace {

constexpr int connectionSlots = 10;
constexpr char terminator = char(0xFF);

// Every message the server sends fits its layout: the clients read it with
// the same readers, and one they refuse would be lost on every client.
void checkReadable(const QByteArray& message) {
    using Read = void (*)(const QByteArray&);
    static const QHash<QByteArray, Read> readers = {
        {cmd::sendlogininfo, [](const QByteArray& a) { msg::readSeatOnly(a); }},
        {cmd::full, [](const QByteArray&) {}},
        {cmd::wrongversion, [](const QByteArray&) {}},
        {cmd::newplayerinfo, [](const QByteArray& a) { msg::readSeatName(a); }},
        {cmd::existingplayers, [](const QByteArray& a) { msg::readSeatName(a); }},
        {cmd::playerdisconnected, [](const QByteArray& a) { msg::readSeatName(a); }},
        {cmd::havewrongversion, [](const QByteArray& a) { msg::readHavewrongversion(a); }},
        {cmd::winner, [](const QByteArray& a) { msg::readWinner(a); }},
        {cmd::gamestats, [](const QByteArray& a) { msg::readGamestats(a); }},
        {cmd::chat, [](const QByteArray& a) { msg::readSeatText(a); }},
        {cmd::action, [](const QByteArray& a) { msg::readSeatText(a); }},
        {cmd::playasound, [](const QByteArray& a) { msg::readSeatText(a); }},
        {cmd::justwatching, [](const QByteArray& a) { msg::readWatchFlag(a); }},
        {cmd::startgame, [](const QByteArray& a) { msg::readStartgame(a); }},
        {cmd::nextplayer, [](const QByteArray& a) { msg::readSeatOnly(a); }},
        {cmd::rolldice, [](const QByteArray& a) { msg::readRolldice(a); }},
        {cmd::cannotroll, [](const QByteArray& a) { msg::readSeatOnly(a); }},
        {cmd::placechip, [](const QByteArray& a) { msg::readPlacechipResult(a); }},
        {cmd::invalid, [](const QByteArray& a) { msg::readSeatOnly(a); }},
        {cmd::useall, [](const QByteArray& a) { msg::readSeatOnly(a); }},
        {cmd::mustmove, [](const QByteArray& a) { msg::readMustmove(a); }},
        {cmd::endturn, [](const QByteArray& a) { msg::readEndturnResult(a); }},
        {cmd::postscores, [](const QByteArray& a) { msg::readPostscores(a); }},
    };
    const cmd::Split parts = cmd::split(message);
    const auto it = readers.constFind(parts.command);
    FUZZ_CHECK(it != readers.constEnd());
    bool read = true;
    try {
        (*it)(parts.args);
    } catch (const EConvertError&) {
        read = false;
    }
    FUZZ_CHECK(read);
}

// What the harness knows of one connection, kept beyond the peer's release.
struct PeerLog {
    bool closed = false;   // the server closed it
    bool released = false; // the server let go of the peer
    int messages = 0;
    bool refused = false; // its only message was "CMD_full+"
};

class FuzzPeer : public Peer {
public:
    explicit FuzzPeer(std::shared_ptr<PeerLog> log) : m_log(std::move(log)) {}
    ~FuzzPeer() override { m_log->released = true; }
    void send(const QByteArray& bytes) override {
        FUZZ_CHECK(!m_log->closed);
        // Exactly one framed message per send: a relayed text must never
        // carry a terminator of its own.
        FUZZ_CHECK(bytes.size() >= 2 && bytes.endsWith(terminator));
        FUZZ_CHECK(bytes.indexOf(terminator) == bytes.size() - 1);
        FUZZ_CHECK(bytes.startsWith("CMD_"));
        checkReadable(bytes.chopped(1));
        if (bytes == cmd::frame(cmd::full_()))
            m_log->refused = true;
        ++m_log->messages;
        // CLIMORA_FUZZ_TRACE=1 shows what the server sends, to check a seed.
        static const bool trace = qEnvironmentVariableIsSet("CLIMORA_FUZZ_TRACE");
        if (trace)
            std::fprintf(stderr, "-> %p %s\n", static_cast<void*>(this),
                         bytes.chopped(1).constData());
    }
    void close() override { m_log->closed = true; }

private:
    std::shared_ptr<PeerLog> m_log;
};

class FuzzBotSpeed : public BotSpeedSource {
public:
    int botSpeedMs() const override { return botspeed::normalMs; }
    BotLevel computerLevel() const override { return level; }
    BotLevel level = BotLevel::Classic;
};

// Takes the input apart; once it is used up every read gives 0.
class Script {
public:
    Script(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool atEnd() const { return m_pos >= m_size; }
    uint8_t byte() { return atEnd() ? 0 : m_data[m_pos++]; }
    QByteArray bytes(size_t count) {
        const size_t n = std::min(count, m_size - std::min(m_pos, m_size));
        QByteArray out(reinterpret_cast<const char*>(m_data + m_pos), qsizetype(n));
        m_pos += n;
        return out;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

struct Connection {
    int seat = 0; // 0: not connected
    std::shared_ptr<PeerLog> log;
};

void checkBoard(const TServer& server) {
    const Game& game = server.game();
    const Board& board = game.board();
    int markers = 0;
    for (int column = Board::firstColumn; column <= Board::lastColumn; ++column) {
        const int top = Board::top(column);
        int columnMarkers = 0;
        std::array<int, seats::playing + 1> chips{};
        for (int position = 0; position < Board::positions; ++position) {
            const Cell& cell = board.cell(column, position);
            FUZZ_CHECK(cell.occupant == 0 || cell.occupant == Board::marker ||
                       seats::isPlaying(cell.occupant));
            FUZZ_CHECK(cell.covered == 0 || seats::isPlaying(cell.covered));
            // Only a marker covers a chip; nothing lies above the top.
            FUZZ_CHECK(cell.covered == 0 || cell.occupant == Board::marker);
            FUZZ_CHECK(position <= top || (cell.occupant == 0 && cell.covered == 0));
            if (cell.occupant == Board::marker)
                ++columnMarkers;
            else if (cell.occupant != 0)
                ++chips[cell.occupant];
            if (cell.covered != 0)
                ++chips[cell.covered];
        }
        FUZZ_CHECK(columnMarkers <= 1);
        markers += columnMarkers;
        for (int seat = 1; seat <= seats::playing; ++seat)
            FUZZ_CHECK(chips[seat] <= 1);
        const Cell& topCell = board.cell(column, top);
        if (seats::isPlaying(topCell.occupant)) {
            // A completed column holds its top chip and nothing else.
            for (int position = 0; position < top; ++position) {
                const Cell& cell = board.cell(column, position);
                FUZZ_CHECK(cell.occupant == 0 && cell.covered == 0);
            }
        }
    }
    FUZZ_CHECK(markers <= Game::markerCount);
    if (!server.turnOpen()) {
        FUZZ_CHECK(markers == 0);
    } else {
        FUZZ_CHECK(server.gameRunning());
        FUZZ_CHECK(seats::isPlaying(server.currentSeat()));
        FUZZ_CHECK(markers == game.markersUsed());
    }
}

void checkSeats(const TServer& server, const std::array<Connection, connectionSlots>& connections) {
    const SeatTable& seats = server.seats();
    FUZZ_CHECK(server.seatCount() >= 0 && server.seatCount() <= seats::last);
    int inUse = 0;
    for (int seat = 1; seat <= seats::last; ++seat) {
        const Seat& entry = seats[seat];
        FUZZ_CHECK(entry.inUse == bool(entry.peer));
        FUZZ_CHECK(entry.inUse || entry.name.isEmpty());
        FUZZ_CHECK(entry.inUse || !entry.loggedIn);
        FUZZ_CHECK(entry.loggedIn || entry.name.isEmpty());
        // Names at the table are unique and never a computer player's.
        if (!entry.name.isEmpty()) {
            for (int computer = 2; computer <= seats::playing; ++computer)
                FUZZ_CHECK(entry.name != seats::fallbackName(computer));
            for (int other = seat + 1; other <= seats::last; ++other)
                FUZZ_CHECK(seats[other].name != entry.name);
        }
        FUZZ_CHECK(seat <= server.seatCount() || !entry.inUse);
        inUse += entry.inUse ? 1 : 0;
    }
    // The server and the harness agree on who is connected where.
    int connected = 0;
    for (const Connection& c : connections) {
        if (c.seat == 0)
            continue;
        ++connected;
        FUZZ_CHECK(seats.inUse(c.seat));
        FUZZ_CHECK(!c.log->closed && !c.log->released);
        for (const Connection& other : connections)
            FUZZ_CHECK(&other == &c || other.seat != c.seat);
    }
    FUZZ_CHECK(connected == inUse);
    FUZZ_CHECK(server.waitingMessages() <= seats::last * 256);
}

// A seat field: mostly the sender's own, sometimes any number.
QByteArray seatField(Script& script, int own) {
    const uint8_t b = script.byte();
    return QByteArray::number((b & 0x80) ? int(b & 0x7F) - 8 : own);
}

QByteArray smallText(Script& script) {
    return script.bytes(script.byte() % 12);
}

// A request of the kind the client sends, with fields taken from the input.
QByteArray request(Script& script, int own) {
    const QByteArray seat = seatField(script, own);
    switch (script.byte() % 12) {
    case 0: {
        const QByteArray version = script.byte() % 4 == 0 ? smallText(script) : cmd::version;
        return cmd::logininfo + ('+' + seat) + '+' + version + '+' + smallText(script);
    }
    case 1:
        return cmd::kickhim + ('+' + seat) + '+' + QByteArray::number(int(script.byte() % 12)) +
               '+';
    case 2:
        return cmd::chat + ('+' + seat) + '+' + smallText(script) + "|clBlack";
    case 3:
        return cmd::action + ('+' + seat) + '+' + smallText(script);
    case 4:
        return cmd::playasound + ('+' + seat) + "+wave" + QByteArray::number(script.byte() % 24) +
               '+';
    case 5: {
        static const char* const flags[] = {"0", "1", "", "11"};
        return cmd::startgame + ('+' + smallText(script)) + '+' + flags[script.byte() % 4] + '+';
    }
    case 6:
        return cmd::justwatch + ('+' + seat) + '+' + QByteArray::number(script.byte() % 4);
    case 7:
    case 8:
        return cmd::rollthedice + ('+' + seat) + '+';
    case 9:
    case 10: {
        const int column = script.byte() % 14;
        const int dieA = script.byte() % 5;
        const int dieB = script.byte() % 5;
        return cmd::placechip + ('+' + seat) + '+' + QByteArray::number(column) + '+' +
               QByteArray::number(dieA) + '+' + QByteArray::number(dieB) + '+';
    }
    default: {
        static const char* const codes[] = {"p", "n", "", "P"};
        return cmd::endturn + ('+' + seat) + '+' + codes[script.byte() % 4] + '+';
    }
    }
}

class Run {
public:
    // Inputs of odd length have the strong computer player at the table.
    explicit Run(BotLevel level) : m_server(m_speed, m_dice, m_draws) {
        m_speed.level = level;
        // The chat rate's clock moves a second with every pause tick.
        m_server.setClock([this] { return m_nowMs; });
        m_server.setLoginTimeoutMs(30000);
        m_server.setPauseTickMs(1000);
    }
    ~Run() {
        for (const Connection& c : m_connections)
            if (c.seat != 0)
                m_server.connectionClosed(c.seat);
    }

    void play(Script& script) {
        while (!script.atEnd()) {
            step(script);
            check();
        }
        settle();
        check();
    }

private:
    void step(Script& script) {
        const uint8_t op = script.byte();
        Connection& c = m_connections[(op >> 4) % connectionSlots];
        switch (op & 0x0F) {
        case 0:
            accept(c, script);
            break;
        case 1:
            if (c.seat != 0)
                m_server.feed(c.seat, script.bytes(script.byte()));
            break;
        case 2:
        case 3:
        case 4:
            if (c.seat != 0)
                sendRequest(script, c);
            break;
        case 5:
            if (c.seat != 0) {
                m_server.connectionClosed(c.seat);
                FUZZ_CHECK(c.log->released && !c.log->closed);
                c.seat = 0;
            }
            break;
        case 6:
            if (c.seat != 0) {
                m_server.disconnectsock(c.seat);
                FUZZ_CHECK(c.log->released && c.log->closed);
                c.seat = 0;
            }
            break;
        case 7:
            m_server.socktimerTimer();
            break;
        case 8:
            dispatchAll();
            break;
        case 9:
            m_nowMs += 1000;
            m_server.timer1Timer();
            break;
        case 10:
            m_server.computertimerTimer();
            break;
        case 11:
            m_server.logintimerTimer(c.seat != 0 ? c.seat : int(script.byte() % 12) - 1);
            break;
        case 12:
            for (int i = 0; i < 4; ++i)
                m_dice.push(script.byte());
            break;
        case 13:
            for (int i = 0; i < 2; ++i)
                m_draws.push(script.byte());
            break;
        case 14:
            settle();
            break;
        default:
            // Bytes for a seat that may be nobody's.
            m_server.feed(int(script.byte() % 12) - 1, script.bytes(script.byte() % 32));
            break;
        }
        noteClosedByServer();
    }

    void accept(Connection& c, Script& script) {
        if (c.seat != 0)
            return;
        // The lowest free seat, as the table hands them out.
        int expected = 0;
        for (int seat = 1; seat <= seats::last && expected == 0; ++seat)
            if (!m_server.seats().inUse(seat))
                expected = seat;
        auto log = std::make_shared<PeerLog>();
        const int seat = m_server.acceptPeer(std::make_unique<FuzzPeer>(log));
        FUZZ_CHECK(seat == expected);
        if (seat == 0) {
            // A tenth connection: told so, closed and let go.
            FUZZ_CHECK(log->refused && log->messages == 1 && log->closed && log->released);
            return;
        }
        c.seat = seat;
        c.log = log;
        FUZZ_CHECK(m_server.logintimer(seat).isActive());
        // Everything but a login is ignored until the login: most
        // connections log in for their own seat at once, with a name from
        // the input (names in use are made unique).
        if (script.byte() % 4 != 0)
            m_server.feed(seat, cmd::frame(cmd::logininfo_(seat, cmd::version, smallText(script))));
    }

    void sendRequest(Script& script, Connection& c) {
        const QByteArray framed = cmd::frame(request(script, c.seat));
        // Sometimes in two reads, cut anywhere.
        const uint8_t cut = script.byte();
        if (cut & 1) {
            const qsizetype at = (cut >> 1) % framed.size();
            m_server.feed(c.seat, framed.left(at));
            noteClosedByServer();
            if (c.seat != 0)
                m_server.feed(c.seat, framed.mid(at));
        } else {
            m_server.feed(c.seat, framed);
        }
    }

    // Connections the server closed on its own (flooding, login timeout,
    // removal by the host) are gone for the harness too.
    void noteClosedByServer() {
        for (Connection& c : m_connections) {
            if (c.seat == 0 || !c.log->closed)
                continue;
            FUZZ_CHECK(c.log->released);
            c.seat = 0;
        }
    }

    void dispatchAll() {
        for (int i = 0; i < 2 * 256 * connectionSlots && m_server.socktimer().isActive(); ++i) {
            m_server.socktimerTimer();
            noteClosedByServer();
        }
    }

    // Lets time pass: every waiting message, the pause and the computer's
    // steps, a bounded number of rounds.
    void settle() {
        for (int round = 0; round < 64; ++round) {
            dispatchAll();
            if (m_server.timer1().isActive())
                m_server.timer1Timer();
            else if (m_server.computertimer().isActive())
                m_server.computertimerTimer();
            else
                break;
            noteClosedByServer();
            check();
        }
    }

    void check() {
        checkSeats(m_server, m_connections);
        checkBoard(m_server);
    }

    FuzzBotSpeed m_speed;
    ScriptedRandom m_dice;
    ScriptedRandom m_draws;
    TServer m_server;
    qint64 m_nowMs = 0;
    std::array<Connection, connectionSlots> m_connections;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // The server's timers need an event dispatcher; they are never run by
    // it, only stepped by the harness.
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Script script(data, size);
    Run run(size % 2 ? BotLevel::Strong : BotLevel::Classic);
    run.play(script);
    return 0;
}
