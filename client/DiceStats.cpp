#include "client/DiceStats.h"

#include "client/BoardGeometry.h"
#include "client/GameMessages.h"
#include "client/RulesGame.h"
#include "client/SeatNames.h"
#include "client/TableModel.h"
#include "game/BustOdds.h"
#include "protocol/Messages.h"

#include <QSet>

namespace {
// The name a seat's dice are counted under; none for a seat that shows no
// player.
QString countedName(const TableModel& model, int seat) {
    const QString name = model.seatName(seat);
    return name == QLatin1String(seats::waiting) ? QString() : name;
}
} // namespace

DiceStats::DiceStats(const TableModel& model, QObject* parent) : QObject(parent), m_model(model) {}

void DiceStats::follow(const GameMessages& messages) {
    connect(&messages, &GameMessages::gameStarted, this, &DiceStats::startCounting);
    connect(&messages, &GameMessages::joinedRunningGame, this, &DiceStats::startCounting);
    connect(&messages, &GameMessages::diceRolled, this, &DiceStats::diceRolled);
    connect(&messages, &GameMessages::turnEnded, this, &DiceStats::turnEnded);
    connect(&messages, &GameMessages::gameWon, this, &DiceStats::gameWon);
}

void DiceStats::startCounting() {
    m_game = DiceRecord();
    m_game.setGames(1);
    m_counting = true;
    emit changed();
}

void DiceStats::diceRolled(const msg::Rolldice& roll) {
    if (!m_counting || !seats::isPlaying(roll.seat))
        return;
    // Only a whole roll counts: each of the four dice once, with a face.
    std::array<int, 4> faces{};
    QSet<int> seen;
    for (const msg::DieState& d : roll.dice) {
        if (d.die < 0 || d.die >= TableModel::dice || d.value < 0 || d.value > 5 ||
            seen.contains(d.die))
            return;
        seen.insert(d.die);
        faces[d.die] = d.value;
    }
    if (seen.size() != TableModel::dice)
        return;
    // The model has taken the dice but not yet any placement: its board is
    // the position the roll was made in.
    const int busting = BustOdds(rulesGame(m_model), roll.seat).bustingRolls();
    m_game.addRoll(countedName(m_model, roll.seat), faces, !roll.playable, busting);
    emit changed();
}

void DiceStats::turnEnded(const msg::EndturnResult& end) {
    if (!m_counting || end.code != "p" || !seats::isPlaying(end.seat))
        return;
    QSet<int> completed;
    for (const EndItem& item : end.items)
        if (item.completedThrough > 0 && board::isColumn(item.cell.column))
            completed.insert(item.cell.column);
    if (completed.isEmpty())
        return;
    m_game.addColumns(countedName(m_model, end.seat), static_cast<int>(completed.size()));
    emit changed();
}

void DiceStats::gameWon() {
    if (!m_counting)
        return;
    m_counting = false;
    emit gameFinished(m_game);
    emit changed();
}
