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

void GameLog::gameStarted(const QString& starter) {
    append(starter + " started a game");
}

void GameLog::turnBegan(int seat) {
    append(name(seat) + "'s turn");
}

void GameLog::diceRolled(const msg::Rolldice& roll) {
    QStringList faces;
    for (const msg::DieState& d : roll.dice)
        faces << pips(d.value);
    const QString who = name(roll.seat);
    append(who + " rolled " + faces.join(' '));
    if (!roll.playable)
        append("Nothing fits " + who + "'s roll");
}

void GameLog::chipPlaced(const msg::PlacechipResult& placement) {
    // The dice the placement used are home again, their faces as rolled.
    QStringList dice;
    QList<int> columns;
    for (const PlaceItem& item : placement.items) {
        if (item.kind == PlaceItem::Kind::DieUsed) {
            if (item.die >= 0 && item.die < TableModel::dice)
                dice << pips(m_model.die(item.die).face);
        } else if (item.kind == PlaceItem::Kind::Marker && !columns.contains(item.cell.column)) {
            columns << item.cell.column;
        }
    }
    QStringList where;
    for (int column : columns)
        where << QString::number(column);
    QString line = name(placement.seat) + " placed " + dice.join('+');
    if (!where.isEmpty())
        line += " on column " + where.join(" and ");
    append(line);
}

void GameLog::turnEnded(const msg::EndturnResult& end) {
    const QString who = name(end.seat);
    if (end.code != "p") {
        append(who + "'s turn is over: the progress is lost");
        return;
    }
    append(who + " ended the turn and kept the progress");
    for (const EndItem& item : end.items)
        if (item.completedThrough > 0)
            append(who + " completed column " + QString::number(item.cell.column));
}

void GameLog::gameWon(const QString& name) {
    append(name + " has won the game");
}

void GameLog::joinedRunningGame(const msg::Gamestats& stats) {
    QStringList scores;
    for (int seat = 1; seat <= seats::playing; ++seat) {
        const TableModel::Seat& s = m_model.seat(seat);
        if (s.present || s.computer)
            scores << s.name + " " + QString::number(s.score);
    }
    QString line = "Joined during a game";
    if (seats::isPlaying(stats.turnSeat))
        line += ": " + name(stats.turnSeat) + "'s turn";
    append(line + "; scores: " + scores.join(", "));
}

void GameLog::seatChanged(int seat) {
    if (seat < 1 || seat >= static_cast<int>(m_seen.size()))
        return;
    const TableModel::Seat& now = m_model.seat(seat);
    SeenSeat& seen = m_seen[seat];
    if (!seen.present && now.present)
        append(now.name + " joined");
    else if (seen.present && !now.present)
        append(seen.name + " left");
    else if (now.present && seen.watching != now.watching)
        append(now.name + (now.watching ? " just watches" : " plays again"));
    seen = SeenSeat{now.name, now.present, now.watching};
}
