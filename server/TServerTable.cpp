// The table's messages to TServer: login, relaying chat, actions and
// sounds, removal and "Just Watch". Every message is read whole before
// anything changes; the seat it names must be the sender's own.
#include "server/TServer.h"

#include "protocol/Commands.h"
#include "protocol/Messages.h"

void TServer::receivedlogininfo(const QByteArray& args, int sender) {
    const auto [seat, version, wanted] = msg::readLogininfo(args);
    // One login per connection: a later one would rename a player in the
    // middle of a game.
    if (seat != sender || !m_seats.inUse(seat) || m_seats[seat].loggedIn)
        return;
    m_logintimer[seat].stop();
    m_seats[seat].loggedIn = true;
    const QByteArray name = m_seats.uniqueName(seat, wanted);
    m_seats[seat].name = name;
    m_seats.sendAll(cmd::newplayerinfo_(seat, name));
    for (int other = 1; other <= m_seats.seatCount(); ++other)
        if (other != seat && m_seats.inUse(other))
            m_seats.sendTo(seat, cmd::existingplayers_(other, m_seats[other].name));
    if (version != cmd::version) {
        m_seats.sendTo(1, cmd::havewrongversion_(name));
        m_seats.sendTo(seat, cmd::wrongversion_());
    }
    if (m_gameRunning)
        m_seats.sendTo(seat, gamestats(seat));
}

QByteArray TServer::gamestats(int seat) const {
    QList<msg::DieState> dice;
    for (int die = 0; die < Dice::count; ++die)
        dice.append({die, m_game.dice().value(die), m_game.dice().available(die)});
    QList<BoardItem> cells;
    const Board& board = m_game.board();
    for (int column = Board::firstColumn; column <= Board::lastColumn; ++column)
        for (int position = 0; position <= Board::top(column); ++position) {
            const Cell& cell = board.cell(column, position);
            if (cell.occupant != 0)
                cells.append({column, position, cell.occupant, cell.covered});
        }
    return cmd::gamestats_(seat, m_currentSeat, m_useAllFlag, dice, cells);
}

void TServer::kickhim(const QByteArray& args, int sender) {
    const auto [requester, target] = msg::readKickhim(args);
    if (requester != sender || requester != 1)
        return;
    disconnectsock(target);
}

void TServer::chat(const QByteArray& args, int sender) {
    const auto [seat, body] = msg::readSeatText(args);
    if (seat != sender || !m_seats.inUse(seat))
        return;
    m_seats.sendAll(cmd::chatRelay_(seat, m_seats[seat].name, body));
}

void TServer::action(const QByteArray& args, int sender) {
    const auto [seat, body] = msg::readSeatText(args);
    if (seat != sender || !m_seats.inUse(seat))
        return;
    m_seats.sendAll(cmd::actionRelay_(seat, m_seats[seat].name, body));
}

void TServer::playasound(const QByteArray& args, int sender) {
    const auto [seat, body] = msg::readSeatText(args);
    if (seat != sender || !m_seats.inUse(seat))
        return;
    m_seats.sendAll(cmd::playasoundRelay_(seat, body));
}

void TServer::justwatch(const QByteArray& args, int sender) {
    const auto [seat, flag] = msg::readWatchFlag(args);
    if (!seats::isPlaying(seat))
        return;
    // A player sets only the own seat; the host may set any playing seat.
    if (seat != sender && sender != 1)
        return;
    if (flag == "2") {
        m_seats[seat].watching = false;
        m_seats.sendAll(cmd::justwatching_(seat, 2));
    } else if (flag == "1" && m_gameRunning) {
        m_seats[seat].watching = true;
        m_seats.sendAll(cmd::justwatching_(seat, 1));
        if (seat == m_currentSeat)
            startComputer(playStep); // the computer carries on with the turn
    }
}
