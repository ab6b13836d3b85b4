#include "game/BotMatch.h"

#include "game/BotPlayer.h"
#include "game/DiceSource.h"

#include <algorithm>
#include <chrono>

BotMatch::BotMatch(std::vector<BotPlayer*> players, DiceSource& dice, bool useAll)
    : m_players(std::move(players)), m_dice(dice), m_useAll(useAll) {}

BotMatch::Result BotMatch::play() {
    Result result;
    m_game.newGame(m_useAll);
    const int seats = int(m_players.size());
    if (seats < 2 || seats > maxSeats)
        return result;
    for (int seat = 1; result.turns < turnLimit; seat = seat % seats + 1) {
        ++result.turns;
        ++result.turnsOf[seat - 1];
        if (playTurn(seat, result)) {
            result.winner = seat;
            break;
        }
    }
    return result;
}

void BotMatch::refuse(Result& result, int seat, const std::string& what) {
    if (result.refusals++ == 0)
        result.firstRefusal = "seat " + std::to_string(seat) + ": " + what;
}

bool BotMatch::playTurn(int seat, Result& result) {
    m_game.startTurn();
    for (BotPlayer* player : m_players)
        player->resetTurn();
    BotPlayer& player = *m_players[seat - 1];
    bool rollingAllowed = true;
    bool kept = false;
    bool rollNext = true; // the first step of a turn is a roll step
    for (int step = 0;; ++step) {
        if (step == stepLimit) {
            refuse(result, seat, "the turn did not end");
            break;
        }
        if (rollNext) {
            rollNext = false;
            if (rollingAllowed) {
                rollingAllowed = false;
                m_game.roll(m_dice);
                if (!m_game.playable(seat))
                    break; // lost
            }
            continue; // a play step follows
        }
        const auto start = std::chrono::steady_clock::now();
        const BotMove move = player.nextMove(m_game, seat);
        const std::int64_t spent = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                       std::chrono::steady_clock::now() - start)
                                       .count();
        result.decisionNs[seat - 1] += spent;
        result.slowestDecisionNs[seat - 1] = std::max(result.slowestDecisionNs[seat - 1], spent);
        if (spent >= 1000000)
            ++result.decisionsOverMs[seat - 1];
        ++result.decisions[seat - 1];
        if (move.kind == BotMove::Kind::RollStep) {
            // Before placing from the last roll this is only a wait: the
            // engine asks for a play step again, as the server does.
            rollNext = true;
        } else if (move.kind == BotMove::Kind::Place) {
            const auto refusal = m_game.checkPlacement(seat, move.column, move.dieA, move.dieB);
            if (refusal != Game::PlaceRefusal::None) {
                refuse(result, seat,
                       "placement in column " + std::to_string(move.column) + " with dice " +
                           std::to_string(move.dieA) + " and " + std::to_string(move.dieB));
                kept = refusal == Game::PlaceRefusal::DieUnavailable &&
                       m_game.checkKeep() == Game::KeepRefusal::None;
                break;
            }
            m_game.place(seat, move.column, move.dieA, move.dieB);
            rollingAllowed = true;
        } else {
            if (m_game.checkKeep() != Game::KeepRefusal::None) {
                refuse(result, seat, "keeping a turn the rules do not let end");
                break;
            }
            kept = true;
            break;
        }
    }
    if (kept)
        m_game.keep(seat);
    else
        m_game.lose();
    return m_game.hasWon(seat);
}
