#pragma once

#include "client/DiceRecord.h"

#include <QObject>

class GameMessages;
class TableModel;
namespace msg {
struct Rolldice;
struct EndturnResult;
struct Gamestats;
} // namespace msg

// The dice of the game under way, for the table and for each player by
// name: faces, rolls, rolls that fitted nothing against the number the odds
// expected in their positions, and columns completed. It counts from a
// game's start, or, for a client that joined a running game, from its
// arrival; when the game has a winner the record is handed on once
// (gameFinished) and stays on show until the next game starts.
class DiceStats : public QObject {
    Q_OBJECT
public:
    explicit DiceStats(const TableModel& model, QObject* parent = nullptr);
    // Counts the game's events as these handlers apply them to the model.
    void follow(const GameMessages& messages);

    const DiceRecord& game() const { return m_game; }
    // Rolls are being counted: a game is under way and has no winner yet.
    bool counting() const { return m_counting; }

signals:
    void changed();
    void gameFinished(const DiceRecord& game);

private:
    void startCounting();
    void diceRolled(const msg::Rolldice& roll);
    void turnEnded(const msg::EndturnResult& end);
    void gameWon();

    const TableModel& m_model;
    DiceRecord m_game;
    bool m_counting = false;
};
