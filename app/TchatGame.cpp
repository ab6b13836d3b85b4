// The game side of the main window: the table model, the view on the board
// panel that follows it, and the connection that feeds it. The dispatch
// table (TchatDispatch.cpp) is filled afterwards, once the social side
// exists too.
#include "app/DbusNotifier.h"
#include "app/Tchat.h"
#include "client/ClientConnection.h"
#include "client/GameView.h"
#include "client/TableModel.h"
#include "client/TurnAlert.h"

#include <QAction>

void Tchat::buildGame() {
    // Kept by the board panel, so that it goes with the views that show it.
    auto* model = new TableModel(m_panelBoard);
    m_game = new GameView(m_panelBoard, {m_state, *this, *this, *this, m_prompter}, *model);
    m_connection = new ClientConnection(
        {m_state, *this, *this, *this, *this, *this, *this, m_prompter}, *m_sock, *model, this);
    connect(action("StartGame1"), &QAction::triggered, m_game, &GameView::StartGame1Click);

    // The notifier contacts the bus with its first notification only.
    m_notifier = new DbusNotifier(QString(), this);
    m_turnAlert = new TurnAlert(*model, *this, *m_notifier, this);
    m_notifier->setParent(m_turnAlert); // deleted with the alert that uses it
    for (const char* name : {"TurnAlertTaskbar1", "TurnAlertNotify1"}) {
        connect(action(name), &QAction::triggered, this, [this] {
            setTurnAlertFlash(action("TurnAlertTaskbar1")->isChecked());
            setTurnAlertNotify(action("TurnAlertNotify1")->isChecked());
            saveSettings();
        });
    }
}
