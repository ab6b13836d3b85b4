// The client's dispatch table: every command the client acts on, and the
// handler that takes it. Any other command is ignored by the dispatcher
// (CMD_cannotroll included). Handlers receive the argument bytes, everything
// after the command name and its "+".
#include "app/Tchat.h"
#include "client/ClientConnection.h"
#include "client/DiceStats.h"
#include "client/GameLog.h"
#include "client/GameMessages.h"
#include "client/GameView.h"
#include "client/SeatNames.h"
#include "client/TableModel.h"
#include "protocol/Commands.h"
#include "protocol/Messages.h"
#include "social/ChatDisplay.h"
#include "social/Sounds.h"
#include "social/Spectators.h"

void Tchat::buildDispatchTable() {
    auto& table = m_connection->dispatcher();
    ClientConnection* c = m_connection;
    TableModel* model = &m_game->model();
    auto* g = new GameMessages(*this, *this, *this, *this, *model, m_game);
    m_gameLog = new GameLog(*model, this);
    m_gameLog->follow(*g);
    m_diceStats = new DiceStats(*model, this);
    m_diceStats->follow(*g);

    table.add(cmd::sendlogininfo, [c](const QByteArray& a) { c->sendloginfo(a); });
    table.add(cmd::chat, [this](const QByteArray& a) { m_chat->chatrecieved(a); });
    table.add(cmd::action, [this](const QByteArray& a) { m_chat->chatrecieved(a); });
    table.add(cmd::playasound, [this](const QByteArray& a) { m_sounds->playasound(a); });
    table.add(cmd::newplayerinfo, [this, c](const QByteArray& a) {
        c->newplayerinfo(a);
        seatsChanged();
    });
    table.add(cmd::havewrongversion, [c](const QByteArray& a) { c->havewrongversion(a); });
    table.add(cmd::wrongversion, [c](const QByteArray& a) { c->wrongversion(a); });
    table.add(cmd::existingplayers, [c](const QByteArray& a) { c->newplayerinfo(a); });
    table.add(cmd::playerdisconnected, [this, c](const QByteArray& a) {
        c->playerdisconnected(a);
        seatsChanged();
    });
    table.add(cmd::full, [this, c](const QByteArray& a) {
        m_refusedAsFull = true;
        c->full(a);
    });
    table.add(cmd::justwatching, [this](const QByteArray& a) { m_spectators->justwatching(a); });
    table.add(cmd::startgame, [g](const QByteArray& a) { g->startthegame(a); });
    table.add(cmd::nextplayer, [g](const QByteArray& a) { g->getnextplayer(a); });
    table.add(cmd::winner, [g](const QByteArray& a) { g->winner(a); });
    table.add(cmd::rolldice, [g](const QByteArray& a) { g->rolldice(a); });
    table.add(cmd::invalid, [g](const QByteArray& a) { g->invalid(a); });
    table.add(cmd::placechip, [g](const QByteArray& a) { g->placechip(a); });
    table.add(cmd::endturn, [g](const QByteArray& a) { g->endturn(a); });
    table.add(cmd::mustmove, [g](const QByteArray& a) { g->mustmove(a); });
    table.add(cmd::postscores, [g](const QByteArray& a) { g->postscores(a); });
    table.add(cmd::gamestats, [g](const QByteArray& a) { g->gamestats(a); });
    table.add(cmd::useall, [g](const QByteArray& a) { g->useall(a); });
}
