#include "client/GameLog.h"

#include "client/GameMessages.h"
#include "client/TableModel.h"
#include "protocol/Messages.h"

namespace {
// A die's face as its pips: the messages count faces from 0.
QString pips(int face) {
    return QString::number(face + 1);
}
} // namespace

GameLog::GameLog(const TableModel& model, QObject* parent)
    : QAbstractListModel(parent), m_model(model) {
    for (int seat = 1; seat < static_cast<int>(m_seen.size()); ++seat) {
        const TableModel::Seat& s = model.seat(seat);
        m_seen[seat] = SeenSeat{s.name, s.present, s.watching};
    }
    connect(&model, &TableModel::seatChanged, this, &GameLog::seatChanged);
}

void GameLog::follow(const GameMessages& messages) {
    connect(&messages, &GameMessages::gameStarted, this, &GameLog::gameStarted);
    connect(&messages, &GameMessages::turnBegan, this, &GameLog::turnBegan);
    connect(&messages, &GameMessages::diceRolled, this, &GameLog::diceRolled);
    connect(&messages, &GameMessages::chipPlaced, this, &GameLog::chipPlaced);
    connect(&messages, &GameMessages::turnEnded, this, &GameLog::turnEnded);
    connect(&messages, &GameMessages::gameWon, this, &GameLog::gameWon);
    connect(&messages, &GameMessages::joinedRunningGame, this, &GameLog::joinedRunningGame);
}

void GameLog::append(const QString& line) {
    if (m_lines.size() >= static_cast<size_t>(maxLines)) {
        beginRemoveRows(QModelIndex(), 0, 0);
        m_lines.pop_front();
        endRemoveRows();
    }
    const int row = lineCount();
    beginInsertRows(QModelIndex(), row, row);
    m_lines.push_back(line);
    endInsertRows();
    emit lineAdded(line);
}

int GameLog::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : lineCount();
}

QVariant GameLog::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= lineCount())
        return {};
    return m_lines[static_cast<size_t>(index.row())];
}

QStringList GameLog::lines() const {
    QStringList all;
    all.reserve(lineCount());
    for (const QString& line : m_lines)
        all << line;
    return all;
}

QString GameLog::text() const {
    QString all;
    for (const QString& line : m_lines)
        all += line + '\n';
    return all;
}

QString GameLog::name(int seat) const {
    return m_model.seatName(seat);
}

QString GameLog::who(int seat) const {
    return m_model.isOwn(seat) ? QStringLiteral("You") : name(seat);
}

QString GameLog::whose(int seat) const {
    return m_model.isOwn(seat) ? QStringLiteral("Your") : name(seat) + "'s";
}

void GameLog::gameStarted(const QString& starter) {
    append(starter + " started a game");
}

void GameLog::turnBegan(int seat) {
    append(whose(seat) + " turn");
}

void GameLog::diceRolled(const msg::Rolldice& roll) {
    QStringList faces;
    m_inPlay.fill(false);
    for (const msg::DieState& d : roll.dice) {
        faces << pips(d.value);
        if (d.die >= 0 && d.die < TableModel::dice) {
            m_inPlay[d.die] = true;
            m_faces[d.die] = d.value;
        }
    }
    append(who(roll.seat) + " rolled " + faces.join(' '));
    if (!roll.playable)
        append("Nothing fits " +
               (m_model.isOwn(roll.seat) ? QStringLiteral("your") : name(roll.seat) + "'s") +
               " roll");
}

void GameLog::chipPlaced(const msg::PlacechipResult& placement) {
    // The server lists every die used since the roll; the pair of this
    // placement are the ones still in play before it, with their rolled faces.
    QStringList dice;
    QList<int> columns;
    for (const PlaceItem& item : placement.items) {
        if (item.kind == PlaceItem::Kind::DieUsed) {
            if (item.die >= 0 && item.die < TableModel::dice && m_inPlay[item.die]) {
                m_inPlay[item.die] = false;
                dice << pips(m_faces[item.die]);
            }
        } else if (item.kind == PlaceItem::Kind::Marker && !columns.contains(item.cell.column)) {
            columns << item.cell.column;
        }
    }
    QStringList where;
    for (int column : columns)
        where << QString::number(column);
    QString line = who(placement.seat) + " placed " + dice.join('+');
    if (!where.isEmpty())
        line += " on column " + where.join(" and ");
    append(line);
}

void GameLog::turnEnded(const msg::EndturnResult& end) {
    m_inPlay.fill(false);
    if (end.code != "p") {
        append(whose(end.seat) + " turn is over: the progress is lost");
        return;
    }
    append(who(end.seat) + " ended the turn and kept the progress");
    for (const EndItem& item : end.items)
        if (item.completedThrough > 0)
            append(who(end.seat) + " completed column " + QString::number(item.cell.column));
}

void GameLog::gameWon(const QString& name) {
    append(m_model.ownWin() ? QStringLiteral("You have won the game") : name + " has won the game");
}

void GameLog::joinedRunningGame(const msg::Gamestats& stats) {
    QStringList scores;
    for (int seat = 1; seat <= seats::playing; ++seat) {
        const TableModel::Seat& s = m_model.seat(seat);
        if (s.present || s.computer)
            scores << s.name + " " + QString::number(s.score);
    }
    m_inPlay.fill(false);
    for (const msg::DieState& d : stats.dice)
        if (d.die >= 0 && d.die < TableModel::dice) {
            m_inPlay[d.die] = d.available && d.value != TableModel::noValue;
            m_faces[d.die] = d.value;
        }
    QString line = "Joined during a game";
    if (seats::isPlaying(stats.turnSeat))
        line += ": " + whose(stats.turnSeat) + " turn";
    append(line + "; scores: " + scores.join(", "));
}

bool GameLog::ownArrived() const {
    const int own = m_model.ownSeat();
    return own >= 1 && own < static_cast<int>(m_seen.size()) && m_seen[own].present;
}

void GameLog::seatChanged(int seat) {
    if (seat < 1 || seat >= static_cast<int>(m_seen.size()))
        return;
    const TableModel::Seat& now = m_model.seat(seat);
    SeenSeat& seen = m_seen[seat];
    if (!seen.present && now.present)
        // Before the own seat arrives, the server is telling who already sits
        // at the table, not who comes in.
        append(now.name + (ownArrived() || m_model.isOwn(seat) ? " joined" : " is at the table"));
    else if (seen.present && !now.present)
        append(seen.name + " left");
    else if (now.present && seen.watching != now.watching)
        append(now.name + (now.watching ? " just watches" : " plays again"));
    seen = SeenSeat{now.name, now.present, now.watching};
}
