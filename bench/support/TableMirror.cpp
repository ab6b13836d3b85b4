#include "bench/support/TableMirror.h"

#include "client/EViewError.h"
#include "client/RulesGame.h"
#include "protocol/Commands.h"
#include "protocol/Cp1252.h"
#include "protocol/Messages.h"

#include <array>

namespace {

QString text(const QByteArray& bytes) {
    return QString::fromLatin1(bytes);
}

template <typename Item> QList<Item> asList(const std::vector<Item>& items) {
    return {items.begin(), items.end()};
}

// The first cell where two boards differ, as "column c position p", else empty.
QString firstDifference(const Board& a, const Board& b) {
    for (int column = Board::firstColumn; column <= Board::lastColumn; ++column)
        for (int position = 0; position <= Board::top(column); ++position) {
            const Cell& x = a.cell(column, position);
            const Cell& y = b.cell(column, position);
            if (x.occupant != y.occupant || x.covered != y.covered)
                return QString("column %1 position %2").arg(column).arg(position);
        }
    return {};
}

} // namespace

// The messages the mirror follows. Those of a game's turns are followed only
// once the game was seen to start or its state came.
struct TableMirror::Command {
    const char* name;
    Handler handler;
    bool ofTurn;
};

const TableMirror::Command* TableMirror::find(const QByteArray& name) {
    static const std::array<Command, 11> table{{
        {cmd::newplayerinfo, &TableMirror::seated, false},
        {cmd::existingplayers, &TableMirror::seated, false},
        {cmd::playerdisconnected, &TableMirror::left, false},
        {cmd::startgame, &TableMirror::startgame, false},
        {cmd::gamestats, &TableMirror::gamestats, false},
        {cmd::nextplayer, &TableMirror::nextplayer, true},
        {cmd::rolldice, &TableMirror::rolldice, true},
        {cmd::placechip, &TableMirror::placechip, true},
        {cmd::endturn, &TableMirror::endturn, true},
        {cmd::postscores, &TableMirror::postscores, true},
        {cmd::winner, &TableMirror::winner, true},
    }};
    for (const Command& c : table)
        if (name == c.name)
            return &c;
    return nullptr;
}

bool TableMirror::fail(const QString& message) {
    m_error = message;
    return false;
}

Game TableMirror::game() const {
    return rulesGame(*m_model);
}

bool TableMirror::turnOpen() const {
    using Phase = TableModel::Phase;
    const Phase phase = m_model->phase();
    return m_synced &&
           (phase == Phase::AwaitingRoll || phase == Phase::Rolled || phase == Phase::Placing);
}

QByteArray TableMirror::lastWinner() const {
    return cp1252::fromUnicode(m_model->winner());
}

QString TableMirror::shownName(int seat) const {
    const TableModel::Seat& s = m_model->seat(seat);
    if (s.present && !s.name.isEmpty())
        return s.name;
    return QString::fromLatin1(seats::fallbackName(seat));
}

QByteArray TableMirror::name(int seat) const {
    const TableModel::Seat& s = m_model->seat(seat);
    return s.present ? cp1252::fromUnicode(s.name) : QByteArray();
}

QByteArray TableMirror::displayName(int seat) const {
    return cp1252::fromUnicode(shownName(seat));
}

std::vector<TableMirror::Move> TableMirror::legalMoves(int seat) const {
    const Game now = game();
    std::vector<Move> moves;
    for (int a = 0; a < Dice::count; ++a)
        for (int b = a + 1; b < Dice::count; ++b) {
            if (!now.dice().available(a) || !now.dice().available(b))
                continue;
            const int column = now.dice().sum(a, b);
            if (now.checkPlacement(seat, column, a, b) == Game::PlaceRefusal::None)
                moves.push_back({column, a, b});
        }
    return moves;
}

bool TableMirror::apply(const QByteArray& message) {
    m_event = Event::Other;
    m_error.clear();
    const cmd::Split parts = cmd::split(message);
    const Command* command = find(parts.command);
    if (!command)
        return true;
    const QByteArray& c = parts.command;
    try {
        // A game message before the message that showed the game is no check.
        if (command->ofTurn && !m_synced) {
            followBeforeSync(c, parts.args);
            return true;
        }
        if (m_scoreDue && c != cmd::postscores && command->ofTurn)
            return fail("a game message came before the score of seat " +
                        QString::number(m_scoreDue) + ": " + text(message));
        if (m_winnerDue && c != cmd::winner && (command->ofTurn || c == cmd::startgame))
            return fail("a message came instead of the winner: " + text(message));
        return (this->*command->handler)(parts.args);
    } catch (const EConvertError& e) {
        return fail("a field does not fit the layout (" + QString::fromUtf8(e.what()) +
                    "): " + text(message));
    } catch (const EViewError& e) {
        return fail("the table has no place for it (" + QString::fromUtf8(e.what()) +
                    "): " + text(message));
    } catch (const std::out_of_range&) {
        return fail("a field is out of range: " + text(message));
    }
}

bool TableMirror::seated(const QByteArray& args) {
    const msg::SeatName arrived = msg::readSeatName(args);
    if (seats::isSeat(arrived.seat))
        m_model->seatArrived(arrived.seat, cp1252::toUnicode(arrived.name));
    return true;
}

bool TableMirror::left(const QByteArray& args) {
    const int seat = msg::readSeatName(args).seat;
    if (seats::isSeat(seat))
        m_model->seatLeft(seat);
    return true;
}

bool TableMirror::follow(bool turnKnown, bool rollingAllowed, Event event) {
    m_synced = true;
    m_turnKnown = turnKnown;
    m_rollingAllowed = rollingAllowed;
    m_mustLose = false;
    m_scoreDue = 0;
    m_winnerDue = false;
    m_event = event;
    return true;
}

bool TableMirror::startgame(const QByteArray& args) {
    m_model->startGame(msg::readStartgame(args).useAllFlag == "1");
    return follow(true, false, Event::Started);
}

bool TableMirror::gamestats(const QByteArray& args) {
    const msg::Gamestats stats = msg::readGamestats(args);
    // A connection that saw the game start before its login was handled
    // already follows the game: the state must be the one it followed.
    if (gameRunning() && m_turnKnown) {
        Game reported;
        for (const BoardItem& c : stats.cells) {
            TableModel::requireCell(c.column, c.position);
            reported.board().cell(c.column, c.position) = Cell{c.occupant, c.seatUnder};
        }
        const QString where = firstDifference(game().board(), reported.board());
        if (!where.isEmpty())
            return fail("the game state differs at " + where + " from the game followed so far");
        if (stats.turnSeat != currentSeat())
            return fail(QString("the game state names seat %1 for the turn of seat %2")
                            .arg(stats.turnSeat)
                            .arg(currentSeat()));
        m_event = Event::Synced;
        return true; // the turn as followed, with what the state cannot tell
    }
    // The state is meant for this connection: its seat is the own one. A
    // state the table cannot hold leaves the mirror waiting for the next.
    TableModel::requireSeat(stats.seat);
    m_synced = false;
    m_model->startGame(stats.useAllFlag == "1");
    m_model->setOwnSeat(stats.seat);
    m_model->applyGamestats(stats);
    const bool turnSeen = m_earlyTurnSeat != 0 && m_earlyTurnSeat == stats.turnSeat;
    return follow(turnSeen, m_earlyRollingAllowed, Event::Synced);
}

void TableMirror::followBeforeSync(const QByteArray& command, const QByteArray& args) {
    const int early = m_earlyTurnSeat;
    if (command == cmd::nextplayer) {
        m_earlyTurnSeat = msg::readSeatOnly(args).seat;
        m_earlyRollingAllowed = true;
    } else if (command == cmd::winner) {
        m_earlyTurnSeat = 0;
    } else if (command == cmd::rolldice && msg::readRolldice(args).seat == early) {
        m_earlyRollingAllowed = false;
    } else if (command == cmd::placechip && msg::readPlacechipResult(args).seat == early) {
        m_earlyRollingAllowed = true;
    } else if (command == cmd::endturn && msg::readEndturnResult(args).seat == early) {
        m_earlyTurnSeat = 0;
    }
}

bool TableMirror::turnMessage(int seat, const char* what) {
    m_lastSeat = seat;
    if (!gameRunning())
        return fail(QString("%1 of seat %2 while no game runs").arg(what).arg(seat));
    if (seat != currentSeat())
        return fail(QString("%1 of seat %2 during the turn of seat %3")
                        .arg(what)
                        .arg(seat)
                        .arg(currentSeat()));
    if (m_turnKnown && !turnOpen())
        return fail(QString("%1 of seat %2 after its turn ended").arg(what).arg(seat));
    return true;
}

bool TableMirror::modelAgrees(const Game& rules, const char* after) {
    const Game shown = game();
    QString where = firstDifference(shown.board(), rules.board());
    for (int die = 0; die < Dice::count && where.isEmpty(); ++die)
        if (shown.dice().available(die) != rules.dice().available(die))
            where = QString("die %1").arg(die);
    if (where.isEmpty() && shown.markersUsed() != rules.markersUsed())
        where = "the markers taken";
    return where.isEmpty() ||
           fail(QString("after %1 the table model differs from the rules at %2").arg(after, where));
}

bool TableMirror::nextplayer(const QByteArray& args) {
    const int seat = msg::readSeatOnly(args).seat;
    m_lastSeat = seat;
    if (!gameRunning())
        return fail(QString("the turn of seat %1 began while no game runs").arg(seat));
    if (m_turnKnown && turnOpen())
        return fail(QString("the turn of seat %1 began while seat %2's was open")
                        .arg(seat)
                        .arg(currentSeat()));
    if (!seats::isPlaying(seat))
        return fail(QString("a turn for seat %1, which does not play").arg(seat));
    m_model->beginTurn(seat);
    m_turnKnown = true;
    m_rollingAllowed = true;
    m_event = Event::TurnBegan;
    return true;
}

bool TableMirror::rolldice(const QByteArray& args) {
    const msg::Rolldice roll = msg::readRolldice(args);
    if (roll.dice.size() != Dice::count)
        return fail(QString("a roll of %1 dice").arg(roll.dice.size()));
    for (int die = 0; die < Dice::count; ++die) {
        if (roll.dice[die].die != die)
            return fail("the roll items are not in the order of the dice");
        if (roll.dice[die].value < 0 || roll.dice[die].value > 5)
            return fail(QString("a die shows %1").arg(roll.dice[die].value));
    }
    if (!turnMessage(roll.seat, "a roll"))
        return false;
    if (m_turnKnown && !m_rollingAllowed)
        return fail(QString("seat %1 rolled twice without a placement").arg(roll.seat));
    if (m_mustLose)
        return fail("a roll came instead of the lost turn");
    Game rules = game();
    for (const msg::DieState& d : roll.dice)
        rules.dice().set(d.die, d.value, true);
    const bool playable = rules.playable(roll.seat);
    if (roll.playable != playable)
        return fail(QString("the verdict of a roll is \"%1\", the dice say \"%2\"")
                        .arg(roll.playable ? "t" : "f", playable ? "t" : "f"));
    m_model->applyRoll(roll);
    m_rollingAllowed = false;
    m_mustLose = !playable;
    m_event = Event::Rolled;
    return true;
}

bool TableMirror::placechip(const QByteArray& args) {
    const msg::PlacechipResult placement = msg::readPlacechipResult(args);
    const int seat = placement.seat;
    if (!turnMessage(seat, "a placement"))
        return false;
    if (m_mustLose)
        return fail("a placement came instead of the lost turn");
    Game rules = game();
    int column = 0;
    std::vector<int> dice;
    for (const PlaceItem& item : placement.items) {
        if (item.kind == PlaceItem::Kind::Marker)
            column = item.cell.column;
        if (item.kind == PlaceItem::Kind::DieUsed && Dice::isIndex(item.die) &&
            rules.dice().available(item.die))
            dice.push_back(item.die);
    }
    if (dice.size() != 2)
        return fail(QString("a placement used %1 dice that were available").arg(dice.size()));
    if (rules.checkPlacement(seat, column, dice[0], dice[1]) != Game::PlaceRefusal::None)
        return fail(QString("an illegal placement was accepted: seat %1 column %2 dice %3 %4")
                        .arg(seat)
                        .arg(column)
                        .arg(dice[0])
                        .arg(dice[1]));
    const QList<PlaceItem> expected = asList(rules.place(seat, column, dice[0], dice[1]));
    if (expected != placement.items)
        return fail("the placement " + text(cmd::placechipResult_(seat, placement.items)) +
                    ", the rules give " + text(cmd::placechipResult_(seat, expected)));
    m_model->applyPlacement(placement);
    if (!modelAgrees(rules, "a placement"))
        return false;
    m_lastPlacement = {column, dice[0], dice[1]};
    m_rollingAllowed = true;
    m_event = Event::Placed;
    return true;
}

bool TableMirror::endturn(const QByteArray& args) {
    const msg::EndturnResult end = msg::readEndturnResult(args);
    const int seat = end.seat;
    if (!turnMessage(seat, "an end of turn"))
        return false;
    const bool kept = end.code == "p";
    if (m_mustLose && kept)
        return fail("a roll that fit nothing was followed by a kept turn");
    Game rules = game();
    if (kept && rules.checkKeep() != Game::KeepRefusal::None)
        return fail(QString("seat %1 kept a turn that the rules do not let it keep").arg(seat));
    const QList<EndItem> expected = asList(kept ? rules.keep(seat) : rules.lose());
    if (expected != end.items)
        return fail("the end " + text(cmd::endturnResult_(seat, end.code, end.items)) +
                    ", the rules give " + text(cmd::endturnResult_(seat, end.code, expected)));
    m_model->applyEnd(end);
    if (!modelAgrees(rules, "an end of turn"))
        return false;
    m_turnKnown = true;
    m_mustLose = false;
    m_scoreDue = seat;
    m_lastEndCode = end.code;
    m_event = Event::TurnEnded;
    return true;
}

bool TableMirror::postscores(const QByteArray& args) {
    const msg::Postscores score = msg::readPostscores(args);
    const int seat = score.seat;
    m_lastSeat = seat;
    if (seat != m_scoreDue)
        return fail(
            QString("a score for seat %1 when seat %2's was due").arg(seat).arg(m_scoreDue));
    const int shown = game().completedColumns(seat);
    if (score.completed != shown)
        return fail(QString("seat %1 scored %2 columns, the board shows %3")
                        .arg(seat)
                        .arg(score.completed)
                        .arg(shown));
    m_model->setScore(seat, score.completed);
    m_scoreDue = 0;
    m_winnerDue = score.completed >= Game::winningColumns;
    m_event = Event::Scored;
    return true;
}

bool TableMirror::winner(const QByteArray& args) {
    // Names are compared as the client shows them.
    const QString name = cp1252::toUnicode(msg::readWinner(args));
    if (!m_winnerDue)
        return fail("a winner without three completed columns: " + name);
    if (name != shownName(m_lastSeat))
        return fail("the winner is \"" + name + "\", seat " + QString::number(m_lastSeat) +
                    " is \"" + shownName(m_lastSeat) + "\"");
    m_model->announceWinner(name);
    m_winnerDue = false;
    m_event = Event::Won;
    return true;
}
