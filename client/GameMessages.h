#pragma once

#include "protocol/Messages.h"

#include <QByteArray>
#include <QObject>

class GameRecorder;
class GameSoundPlayer;
class MainWindowActions;
class SystemLineWriter;
class TableModel;

// The game's messages from the server, each read with its layout's reader
// and applied to the table model; the views follow the model. Beside the
// model each handler sets the status, asks for the sounds and writes the
// system lines that the news brings.
//
// A message that does not fit is refused before anything changes: a
// number that does not parse raises EConvertError, a seat, column,
// position, die or picture the table does not have raises EViewError.
class GameMessages : public QObject {
    Q_OBJECT
public:
    GameMessages(SystemLineWriter& lines, GameSoundPlayer& sounds, MainWindowActions& window,
                 GameRecorder& tally, TableModel& model, QObject* parent = nullptr);

    // Each takes the message's argument text, after the command name.
    void startthegame(const QByteArray& args);
    void getnextplayer(const QByteArray& args);
    void rolldice(const QByteArray& args);
    void placechip(const QByteArray& args);
    void invalid(const QByteArray& args);
    void mustmove(const QByteArray& args);
    void useall(const QByteArray& args);
    void endturn(const QByteArray& args);
    void postscores(const QByteArray& args);
    void winner(const QByteArray& args);
    void gamestats(const QByteArray& args);

signals:
    // Each game message once the model has taken it, for the game's log.
    void gameStarted(const QString& starter);
    void turnBegan(int seat);
    void diceRolled(const msg::Rolldice& roll);
    void chipPlaced(const msg::PlacechipResult& placement);
    void turnEnded(const msg::EndturnResult& end);
    void gameWon(const QString& name);
    void joinedRunningGame(const msg::Gamestats& stats);

private:
    void refusedEnd(int seat, const QString& status);

    SystemLineWriter& m_lines;
    GameSoundPlayer& m_sounds;
    MainWindowActions& m_window;
    GameRecorder& m_tally;
    TableModel& m_model;
};
