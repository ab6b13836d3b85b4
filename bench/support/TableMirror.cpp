#include "bench/support/TableMirror.h"

#include "protocol/Commands.h"
#include "protocol/FieldReader.h"

namespace {

QString text(const QByteArray& bytes) {
    return QString::fromLatin1(bytes);
}

// A placement item from its wire fields, as the rules give it.
PlaceItem placeItem(char tag, int x, int y, int z) {
    PlaceItem item;
    item.kind = PlaceItem::Kind(tag);
    if (item.kind == PlaceItem::Kind::DieUsed)
        item.die = x;
    else if (item.kind == PlaceItem::Kind::Covered)
        item.cell = {x, y, Board::marker, z};
    else
        item.cell = {x, y, z, 0};
    return item;
}

QString placeText(const std::vector<PlaceItem>& items) {
    QString out;
    for (const PlaceItem& i : items) {
        const bool die = i.kind == PlaceItem::Kind::DieUsed;
        const int z = i.kind == PlaceItem::Kind::Covered ? i.cell.seatUnder : i.cell.occupant;
        out += QString("+%1+%2+%3+%4")
                   .arg(QChar(char(i.kind)))
                   .arg(die ? i.die : i.cell.column)
                   .arg(die ? 0 : i.cell.position)
                   .arg(die ? 0 : z);
    }
    return out;
}

QString endText(const std::vector<EndItem>& items) {
    QString out;
    for (const EndItem& i : items)
        out += QString("+%1+%2+%3+%4")
                   .arg(i.cell.column)
                   .arg(i.cell.position)
                   .arg(i.cell.occupant)
                   .arg(i.completedThrough);
    return out;
}

// "{name}+{flag}+": the flag is the last field, the name may hold "+".
void splitStart(QByteArray args, QByteArray& name, QByteArray& flag) {
    if (args.endsWith('+'))
        args.chop(1);
    const qsizetype plus = args.lastIndexOf('+');
    name = plus < 0 ? args : args.left(plus);
    flag = plus < 0 ? QByteArray() : args.mid(plus + 1);
}

} // namespace

bool TableMirror::fail(const QString& message) {
    m_error = message;
    return false;
}

QByteArray TableMirror::name(int seat) const {
    return seat >= 1 && seat <= 9 ? m_names[seat] : QByteArray();
}

QByteArray TableMirror::displayName(int seat) const {
    static const char* const fallback[] = {"", "", "Klot", "Klock", "Kling"};
    const QByteArray own = name(seat);
    if (!own.isEmpty() || seat < 2 || seat > 4)
        return own;
    return fallback[seat];
}

std::vector<TableMirror::Move> TableMirror::legalMoves(int seat) const {
    std::vector<Move> moves;
    for (int a = 0; a < Dice::count; ++a)
        for (int b = a + 1; b < Dice::count; ++b) {
            if (!m_game.dice().available(a) || !m_game.dice().available(b))
                continue;
            const int column = m_game.dice().sum(a, b);
            if (m_game.checkPlacement(seat, column, a, b) == Game::PlaceRefusal::None)
                moves.push_back({column, a, b});
        }
    return moves;
}

bool TableMirror::apply(const QByteArray& message) {
    m_event = Event::Other;
    m_error.clear();
    const cmd::Split parts = cmd::split(message);
    const QByteArray& c = parts.command;
    try {
        if (c == cmd::newplayerinfo || c == cmd::existingplayers) {
            FieldReader reader(parts.args);
            const int seat = reader.nextInt();
            if (seat >= 1 && seat <= 9)
                m_names[seat] = reader.rest();
            return true;
        }
        if (c == cmd::playerdisconnected) {
            FieldReader reader(parts.args);
            const int seat = reader.nextInt();
            if (seat >= 1 && seat <= 9)
                m_names[seat].clear();
            return true;
        }
        // A game message before the message that showed the game is no check.
        const bool game = c == cmd::nextplayer || c == cmd::rolldice || c == cmd::placechip ||
                          c == cmd::endturn || c == cmd::postscores || c == cmd::winner;
        if (game && !m_synced) {
            followBeforeSync(c, parts.args);
            return true;
        }
        if (m_scoreDue && c != cmd::postscores && game)
            return fail("a game message came before the score of seat " +
                        QString::number(m_scoreDue) + ": " + text(message));
        if (m_winnerDue && c != cmd::winner && (game || c == cmd::startgame))
            return fail("a message came instead of the winner: " + text(message));
        if (c == cmd::startgame)
            return startgame(parts.args);
        if (c == cmd::gamestats)
            return gamestats(parts.args);
        if (c == cmd::nextplayer)
            return nextplayer(parts.args);
        if (c == cmd::rolldice)
            return rolldice(parts.args);
        if (c == cmd::placechip)
            return placechip(parts.args);
        if (c == cmd::endturn)
            return endturn(parts.args);
        if (c == cmd::postscores)
            return postscores(parts.args);
        if (c == cmd::winner)
            return winner(parts.args);
    } catch (const EConvertError& e) {
        return fail("a field is not a number (" + QString::fromUtf8(e.what()) +
                    "): " + text(message));
    } catch (const std::out_of_range&) {
        return fail("a field is out of range: " + text(message));
    }
    return true;
}

bool TableMirror::startgame(const QByteArray& args) {
    QByteArray name, flag;
    splitStart(args, name, flag);
    m_game.newGame(flag == "1");
    m_synced = true;
    m_running = true;
    m_turnOpen = false;
    m_turnKnown = true;
    m_mustLose = false;
    m_scoreDue = 0;
    m_winnerDue = false;
    m_event = Event::Started;
    return true;
}

bool TableMirror::gamestats(const QByteArray& args) {
    FieldReader reader(args);
    reader.nextInt(); // the newcomer's own seat
    const int current = reader.nextInt();
    const QByteArray flag = reader.next();
    // A connection that saw the game start before its login was handled
    // already follows the game: the state must be the one it followed.
    const bool followed = m_synced && m_running && m_turnKnown;
    const Game before = m_game;
    m_game.newGame(flag == "1");
    int markers = 0;
    while (!reader.atEnd()) {
        const QByteArray tag = reader.next();
        const int w = reader.nextInt(), x = reader.nextInt(), y = reader.nextInt(),
                  z = reader.nextInt();
        if (tag == "d") {
            if (!Dice::isIndex(w))
                return fail("a die outside 0 to 3 in the game state");
            m_game.dice().set(w, x, y == 1);
        } else if (tag == "c") {
            Cell& cell = m_game.board().cell(w, x);
            cell.occupant = y;
            cell.covered = z;
            if (y == Board::marker)
                ++markers;
        } else {
            return fail("an unknown item in the game state: " + text(tag));
        }
    }
    m_game.setMarkersUsed(markers);
    if (followed) {
        for (int column = Board::firstColumn; column <= Board::lastColumn; ++column)
            for (int position = 0; position <= Board::top(column); ++position) {
                const Cell& a = before.board().cell(column, position);
                const Cell& b = m_game.board().cell(column, position);
                if (a.occupant != b.occupant || a.covered != b.covered)
                    return fail(QString("the game state differs at column %1 position %2 from the "
                                        "game followed so far")
                                    .arg(column)
                                    .arg(position));
            }
        if (current != m_current)
            return fail(QString("the game state names seat %1 for the turn of seat %2")
                            .arg(current)
                            .arg(m_current));
        m_event = Event::Synced;
        return true; // the turn as followed, with what the state cannot tell
    }
    m_current = current;
    m_synced = true;
    m_running = true;
    m_turnOpen = true;
    m_turnKnown = m_earlyTurnSeat != 0 && m_earlyTurnSeat == current;
    m_rollingAllowed = m_earlyRollingAllowed;
    m_mustLose = false;
    m_scoreDue = 0;
    m_winnerDue = false;
    m_event = Event::Synced;
    return true;
}

void TableMirror::followBeforeSync(const QByteArray& command, const QByteArray& args) {
    if (command == cmd::winner) {
        m_earlyTurnSeat = 0;
        return;
    }
    if (command == cmd::postscores)
        return;
    FieldReader reader(args);
    const int seat = reader.nextInt();
    if (command == cmd::nextplayer) {
        m_earlyTurnSeat = seat;
        m_earlyRollingAllowed = true;
    } else if (seat != m_earlyTurnSeat) {
        return;
    } else if (command == cmd::rolldice) {
        m_earlyRollingAllowed = false;
    } else if (command == cmd::placechip) {
        m_earlyRollingAllowed = true;
    } else if (command == cmd::endturn) {
        m_earlyTurnSeat = 0;
    }
}

bool TableMirror::turnMessage(int seat, const char* what) {
    m_lastSeat = seat;
    if (!m_running)
        return fail(QString("%1 of seat %2 while no game runs").arg(what).arg(seat));
    if (seat != m_current)
        return fail(
            QString("%1 of seat %2 during the turn of seat %3").arg(what).arg(seat).arg(m_current));
    if (m_turnKnown && !m_turnOpen)
        return fail(QString("%1 of seat %2 after its turn ended").arg(what).arg(seat));
    return true;
}

bool TableMirror::nextplayer(const QByteArray& args) {
    FieldReader reader(args);
    const int seat = reader.nextInt();
    m_lastSeat = seat;
    if (!m_running)
        return fail(QString("the turn of seat %1 began while no game runs").arg(seat));
    if (m_turnKnown && m_turnOpen)
        return fail(
            QString("the turn of seat %1 began while seat %2's was open").arg(seat).arg(m_current));
    if (seat < 1 || seat > 4)
        return fail(QString("a turn for seat %1, which does not play").arg(seat));
    m_game.startTurn();
    m_current = seat;
    m_turnOpen = true;
    m_turnKnown = true;
    m_rollingAllowed = true;
    m_event = Event::TurnBegan;
    return true;
}

bool TableMirror::rolldice(const QByteArray& args) {
    FieldReader reader(args);
    const int seat = reader.nextInt();
    const QByteArray verdict = reader.next();
    std::array<int, 4> values{};
    for (int die = 0; die < Dice::count; ++die) {
        if (reader.nextInt() != die)
            return fail("the roll items are not in the order of the dice");
        values[die] = reader.nextInt();
        if (values[die] < 0 || values[die] > 5)
            return fail(QString("a die shows %1").arg(values[die]));
    }
    if (!reader.atEnd())
        return fail("more than four roll items");
    if (!turnMessage(seat, "a roll"))
        return false;
    if (m_turnKnown && !m_rollingAllowed)
        return fail(QString("seat %1 rolled twice without a placement").arg(seat));
    if (m_mustLose)
        return fail("a roll came instead of the lost turn");
    for (int die = 0; die < Dice::count; ++die)
        m_game.dice().set(die, values[die], true);
    const bool playable = m_game.playable(seat);
    if (verdict != (playable ? "t" : "f"))
        return fail(QString("the verdict of a roll is \"%1\", the dice say \"%2\"")
                        .arg(text(verdict), playable ? "t" : "f"));
    m_rollingAllowed = false;
    m_mustLose = !playable;
    m_event = Event::Rolled;
    return true;
}

bool TableMirror::placechip(const QByteArray& args) {
    FieldReader reader(args);
    const int seat = reader.nextInt();
    std::vector<PlaceItem> items;
    while (!reader.atEnd()) {
        const QByteArray tag = reader.next();
        if (tag.size() != 1)
            return fail("a placement item with the tag \"" + text(tag) + "\"");
        const int x = reader.nextInt(), y = reader.nextInt(), z = reader.nextInt();
        items.push_back(placeItem(tag[0], x, y, z));
    }
    if (!turnMessage(seat, "a placement"))
        return false;
    if (m_mustLose)
        return fail("a placement came instead of the lost turn");
    int column = 0;
    std::vector<int> dice;
    for (const PlaceItem& item : items) {
        if (item.kind == PlaceItem::Kind::Marker)
            column = item.cell.column;
        if (item.kind == PlaceItem::Kind::DieUsed && Dice::isIndex(item.die) &&
            m_game.dice().available(item.die))
            dice.push_back(item.die);
    }
    if (dice.size() != 2)
        return fail(QString("a placement used %1 dice that were available").arg(dice.size()));
    if (m_game.checkPlacement(seat, column, dice[0], dice[1]) != Game::PlaceRefusal::None)
        return fail(QString("an illegal placement was accepted: seat %1 column %2 dice %3 %4")
                        .arg(seat)
                        .arg(column)
                        .arg(dice[0])
                        .arg(dice[1]));
    const std::vector<PlaceItem> expected = m_game.place(seat, column, dice[0], dice[1]);
    if (expected != items)
        return fail("placement items " + placeText(items) + ", the rules give " +
                    placeText(expected));
    m_lastPlacement = {column, dice[0], dice[1]};
    m_rollingAllowed = true;
    m_event = Event::Placed;
    return true;
}

bool TableMirror::endturn(const QByteArray& args) {
    FieldReader reader(args);
    const int seat = reader.nextInt();
    const QByteArray code = reader.next();
    std::vector<EndItem> items;
    while (!reader.atEnd()) {
        const int column = reader.nextInt(), position = reader.nextInt(),
                  occupant = reader.nextInt(), fill = reader.nextInt();
        items.push_back({{column, position, occupant, 0}, fill});
    }
    if (!turnMessage(seat, "an end of turn"))
        return false;
    if (m_mustLose && code == "p")
        return fail("a roll that fit nothing was followed by a kept turn");
    std::vector<EndItem> expected;
    if (code == "p") {
        if (m_game.checkKeep() != Game::KeepRefusal::None)
            return fail(QString("seat %1 kept a turn that the rules do not let it keep").arg(seat));
        expected = m_game.keep(seat);
    } else {
        expected = m_game.lose();
    }
    if (expected.empty())
        expected.push_back({{101, 101, 101, 0}, 0});
    if (expected != items)
        return fail("end-of-turn items " + endText(items) + ", the rules give " +
                    endText(expected));
    m_turnOpen = false;
    m_turnKnown = true;
    m_mustLose = false;
    m_scoreDue = seat;
    m_lastEndCode = code;
    m_event = Event::TurnEnded;
    return true;
}

bool TableMirror::postscores(const QByteArray& args) {
    FieldReader reader(args);
    const int seat = reader.nextInt();
    const int count = reader.nextInt();
    m_lastSeat = seat;
    if (seat != m_scoreDue)
        return fail(
            QString("a score for seat %1 when seat %2's was due").arg(seat).arg(m_scoreDue));
    if (count != m_game.completedColumns(seat))
        return fail(QString("seat %1 scored %2 columns, the board shows %3")
                        .arg(seat)
                        .arg(count)
                        .arg(m_game.completedColumns(seat)));
    m_scoreDue = 0;
    m_winnerDue = count >= Game::winningColumns;
    m_event = Event::Scored;
    return true;
}

bool TableMirror::winner(const QByteArray& args) {
    QByteArray name = args;
    if (name.endsWith('+'))
        name.chop(1);
    if (!m_winnerDue)
        return fail("a winner without three completed columns: " + text(name));
    if (name != displayName(m_lastSeat))
        return fail("the winner is \"" + text(name) + "\", seat " + QString::number(m_lastSeat) +
                    " is \"" + text(displayName(m_lastSeat)) + "\"");
    m_winnerDue = false;
    m_running = false;
    m_turnOpen = false;
    m_winner = name;
    m_event = Event::Won;
    return true;
}
