// The turn engine of TServer and the pacing of its computer player.
#include "server/TServer.h"

#include "protocol/Commands.h"
#include "protocol/Messages.h"
#include "server/BotSpeedSource.h"

namespace {

template <typename Item> QList<Item> toList(const std::vector<Item>& items) {
    return QList<Item>(items.begin(), items.end());
}

const QByteArray keepCode = "p";
const QByteArray loseCode = "n";

} // namespace

// ---- Turn engine ----

void TServer::startgame(const QByteArray& args, int sender) {
    if (sender != 1)
        return;
    const auto [name, flag] = msg::readStartgame(args);

    m_gameRunning = true;
    m_useAllFlag = flag;
    m_seats.sendAll(cmd::startgame_(name, flag));
    for (int seat = 1; seat <= seats::playing; ++seat)
        m_seats[seat].watching = false;
    // A game started during a pause replaces it, and the old game's
    // computer step with it.
    m_timer1.stop();
    m_timer1Tag = 0;
    m_computertimer.stop();
    m_computertimerTag = noStep;
    m_game.newGame(flag == "1");
    m_gameLevel = m_botSpeed.computerLevel();
    if (computerPlayed(2))
        m_seats.sendAll(cmd::chat_(0, levelNotice(m_gameLevel), floodNoticeColour));
    findplayer();
}

QByteArray TServer::levelNotice(BotLevel level) {
    const std::string_view title = botlevel::title(level);
    return QByteArray(seats::fallbackName(2)) + " plays " +
           QByteArray(title.data(), qsizetype(title.size())) + ".";
}

void TServer::findplayer() {
    m_game.startTurn();
    // Seat 2 always takes its turn (the computer plays it when nobody holds
    // it); seats 1, 3 and 4 only while held.
    do {
        m_currentSeat = m_currentSeat % seats::playing + 1;
    } while (!m_seats.inUse(m_currentSeat) && m_currentSeat != 2);
    m_rollingAllowed = true;
    m_turnOpen = true;
    m_seats.sendAll(cmd::nextplayer_(m_currentSeat));
    m_computer.resetTurn();
    m_strong.resetTurn();
    if (computerPlayed(m_currentSeat))
        startComputer(rollStep);
}

void TServer::rollthedice(const QByteArray& args, int sender) {
    const int seat = msg::readSeatOnly(args).seat;
    if (seat == sender)
        requestRoll(seat);
}

void TServer::requestRoll(int seat) {
    if (!m_turnOpen || seat != m_currentSeat)
        return;
    if (!m_rollingAllowed) {
        m_seats.sendTo(seat, cmd::cannotroll_(seat));
        return;
    }
    rolldice(seat);
}

void TServer::rolldice(int seat) {
    m_rollingAllowed = false;
    m_game.roll(m_dice);
    const bool playable = m_game.playable(seat);
    m_seats.sendAll(cmd::rolldice_(seat, playable, m_game.dice().values()));
    if (!playable)
        endTurnFor(seat, loseCode);
    else if (computerPlayed(seat))
        startComputer(playStep);
}

void TServer::placechip(const QByteArray& args, int sender) {
    const msg::Placechip request = msg::readPlacechip(args);
    if (request.seat == sender)
        requestPlace(request.seat, request.column, request.dieA, request.dieB);
}

void TServer::requestPlace(int seat, int column, int firstDie, int secondDie) {
    if (!m_turnOpen || seat != m_currentSeat)
        return;
    switch (m_game.checkPlacement(seat, column, firstDie, secondDie)) {
    case Game::PlaceRefusal::None:
        break;
    case Game::PlaceRefusal::DieUnavailable:
        refusePlacement(seat, keepCode);
        return;
    case Game::PlaceRefusal::BadRequest:
    case Game::PlaceRefusal::NotPlayable:
        refusePlacement(seat, loseCode);
        return;
    }
    const std::vector<PlaceItem> items = m_game.place(seat, column, firstDie, secondDie);
    m_rollingAllowed = true;
    m_seats.sendAll(cmd::placechipResult_(seat, toList(items)));
    if (computerPlayed(seat))
        startComputer(playStep);
}

void TServer::refusePlacement(int seat, const QByteArray& computerCode) {
    m_seats.sendTo(seat, cmd::invalid_(seat));
    // A computer turn must not stall on a request the rules refuse.
    if (computerPlayed(seat))
        endTurnFor(seat, computerCode);
}

void TServer::endturn(const QByteArray& args, int sender) {
    const auto [seat, code] = msg::readEndturn(args);
    if (seat == sender)
        requestEnd(seat, code);
}

void TServer::requestEnd(int seat, const QByteArray& code) {
    if (m_turnOpen && seat == m_currentSeat)
        endTurnFor(seat, code);
}

void TServer::endTurnFor(int seat, const QByteArray& code) {
    std::vector<EndItem> items;
    if (code == keepCode) {
        // For a seat whose player is gone a refused keep loses the turn, so
        // that the game goes on.
        switch (m_game.checkKeep()) {
        case Game::KeepRefusal::MarkersLeft:
            if (!m_seats.inUse(seat))
                return endTurnFor(seat, loseCode);
            m_seats.sendTo(seat, cmd::useall_(seat));
            return;
        case Game::KeepRefusal::MustMove:
            if (!m_seats.inUse(seat))
                return endTurnFor(seat, loseCode);
            if (const auto cell = m_game.mustMoveCell())
                m_seats.sendTo(seat, cmd::mustmove_(seat, cell->column, cell->position));
            return;
        case Game::KeepRefusal::None:
            break;
        }
        items = m_game.keep(seat);
    } else {
        items = m_game.lose();
    }
    m_turnOpen = false;
    m_seats.sendAll(cmd::endturnResult_(seat, code, toList(items)));
    if (!checkforwin(seat))
        startPause(code == keepCode ? 2 : 5);
}

bool TServer::checkforwin(int seat) {
    const int completed = m_game.completedColumns(seat);
    m_seats.sendAll(cmd::postscores_(seat, completed));
    if (completed < Game::winningColumns)
        return false;
    m_seats.sendAll(cmd::winner_(m_seats.displayName(seat)));
    m_gameRunning = false;
    m_computertimer.stop();
    return true;
}

void TServer::startPause(int ticks) {
    m_timer1.stop();
    m_timer1Tag = 1;
    m_pauseTicks = ticks;
    m_timer1.start(m_pauseTickMs);
}

void TServer::timer1Timer() {
    if (!m_timer1.isActive())
        return;
    if (--m_pauseTicks >= 1)
        return;
    m_timer1.stop();
    if (m_timer1Tag == 1) {
        m_timer1Tag = 0;
        findplayer();
    }
}

// ---- Computer player ----

void TServer::startComputer(ComputerStep step) {
    m_computertimer.stop();
    m_computertimer.setInterval(qMax(0, m_botSpeed.botSpeedMs()));
    m_computertimerTag = step;
    m_computertimer.start();
}

void TServer::computertimerTimer() {
    if (!m_computertimer.isActive())
        return;
    m_computertimer.stop();
    if (m_computertimerTag == rollStep)
        computerroll(m_currentSeat);
    else if (m_computertimerTag == playStep)
        computerplay(m_currentSeat);
}

void TServer::computerroll(int seat) {
    if (!computerPlayed(seat))
        return;
    if (m_rollingAllowed)
        requestRoll(seat);
    else
        startComputer(playStep);
}

void TServer::computerplay(int seat) {
    // A player who stopped watching carries on by hand.
    if (!computerPlayed(seat) || !m_turnOpen)
        return;
    BotPlayer& player =
        m_gameLevel == BotLevel::Strong ? static_cast<BotPlayer&>(m_strong) : m_computer;
    const BotMove move = player.nextMove(m_game, seat);
    switch (move.kind) {
    case BotMove::Kind::RollStep:
        startComputer(rollStep);
        break;
    case BotMove::Kind::Place:
        requestPlace(seat, move.column, move.dieA, move.dieB);
        break;
    case BotMove::Kind::Keep:
        requestEnd(seat, keepCode);
        break;
    }
}
