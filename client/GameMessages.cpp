#include "client/GameMessages.h"

#include "client/BoardGeometry.h"
#include "client/GameRecorder.h"
#include "client/GameSoundPlayer.h"
#include "client/MainWindowActions.h"
#include "client/SystemLineWriter.h"
#include "client/TableModel.h"
#include "protocol/Cp1252.h"
#include "protocol/Messages.h"

namespace {
QString text(const QByteArray& bytes) {
    return cp1252::toUnicode(bytes);
}
} // namespace

GameMessages::GameMessages(SystemLineWriter& lines, GameSoundPlayer& sounds,
                           MainWindowActions& window, GameRecorder& tally, TableModel& model,
                           QObject* parent)
    : QObject(parent), m_lines(lines), m_sounds(sounds), m_window(window), m_tally(tally),
      m_model(model) {}

void GameMessages::startthegame(const QByteArray& args) {
    const msg::Startgame start = msg::readStartgame(args);
    m_window.setJustWatchTicked(false);
    m_model.startGame(start.useAllFlag == "1");
    m_lines.systemLine(text(start.name) + " has started a game.");
    emit gameStarted(text(start.name));
}

void GameMessages::getnextplayer(const QByteArray& args) {
    const int seat = msg::readSeatOnly(args).seat;
    m_model.beginTurn(seat);
    emit turnBegan(seat);
    if (m_model.isOwn(seat)) {
        m_model.setStatus("Your Turn.");
        m_sounds.playsounds(m_sounds.turnSoundNew() ? "turnnew" : "turn");
    } else {
        m_model.setStatus(m_model.seatName(seat) + "'s turn.");
    }
}

void GameMessages::rolldice(const QByteArray& args) {
    // Every client shows the roll, whoever rolled.
    const msg::Rolldice roll = msg::readRolldice(args);
    const bool refused = m_model.statusRefuses();
    m_model.applyRoll(roll);
    emit diceRolled(roll);
    // The own roll answers the last refusal; a roll that fits nothing says so.
    if (refused && m_model.isOwn(roll.seat))
        m_model.setStatus("Your Turn.");
    if (!roll.playable) {
        // The server ends the turn next.
        m_model.setStatus("No Moves.. Turn Over");
        m_sounds.playsounds("turnoverbad");
    } else {
        m_sounds.playsounds("dice");
    }
}

void GameMessages::placechip(const QByteArray& args) {
    const msg::PlacechipResult placement = msg::readPlacechipResult(args);
    m_model.applyPlacement(placement);
    emit chipPlaced(placement);
    for (const PlaceItem& item : placement.items) {
        if (item.kind != PlaceItem::Kind::Covered && item.kind != PlaceItem::Kind::Marker)
            continue;
        const bool top = item.cell.position == board::columnTop(item.cell.column);
        m_sounds.playsounds(top ? "rowcomplete" : "placechip");
    }
}

void GameMessages::invalid(const QByteArray& args) {
    const int seat = msg::readSeatOnly(args).seat;
    if (!m_model.isOwn(seat))
        return;
    m_sounds.playsounds("invalid");
    m_model.setRefusal("Invalid Play");
    // The player may try another column; the dice selection stays.
    m_model.refusePlacement();
}

void GameMessages::refusedEnd(int seat, const QString& status) {
    if (!m_model.isOwn(seat))
        return;
    m_model.setRefusal(status);
    m_sounds.playsounds("invalid");
    m_model.refuseEnd();
}

void GameMessages::mustmove(const QByteArray& args) {
    refusedEnd(msg::readMustmove(args).seat, "You must move off another player's piece");
}

void GameMessages::useall(const QByteArray& args) {
    refusedEnd(msg::readSeatOnly(args).seat, "You must use all the Markers before Ending Turn.");
}

void GameMessages::endturn(const QByteArray& args) {
    const msg::EndturnResult end = msg::readEndturnResult(args);
    m_model.applyEnd(end);
    emit turnEnded(end);
    // A lost turn keeps the status and sound of its roll.
    if (end.code != "p")
        return;
    m_model.setStatus(m_model.isOwn(end.seat) ? QString("You ended your turn.")
                                              : m_model.seatName(end.seat) + " ended their turn.");
    m_sounds.playsounds("turnovergood");
}

void GameMessages::postscores(const QByteArray& args) {
    const msg::Postscores scores = msg::readPostscores(args);
    m_model.setScore(scores.seat, scores.completed);
}

void GameMessages::winner(const QByteArray& args) {
    // The name is the whole field, "+" included.
    const QString name = text(msg::readWinner(args));
    if (!m_model.announceWinner(name))
        return;
    emit gameWon(name);
    m_sounds.playsounds("winner");
    const bool won = m_model.ownWin();
    const QString message = won ? QString("You have Won the Game!") : name + " has Won the Game!";
    m_model.setStatus("Game Over!");
    m_lines.systemLine(message);
    if (m_model.ownSeatPlays()) // spectators record nothing
        m_tally.recordGame(won ? QString("addtomine") : name);
}

void GameMessages::gamestats(const QByteArray& args) {
    const msg::Gamestats stats = msg::readGamestats(args);
    if (m_model.applyGamestats(stats))
        emit joinedRunningGame(stats);
}
