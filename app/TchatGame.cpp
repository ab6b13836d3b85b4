// The game side of the main window: the view on the board panel and the
// connection that feeds it. The dispatch table (TchatDispatch.cpp) is filled
// afterwards, once the social side exists too.
#include "app/Tchat.h"
#include "client/ClientConnection.h"
#include "client/GameView.h"

#include <QAction>

void Tchat::buildGame() {
    m_game = new GameView(m_panelBoard, *this);
    m_connection = new ClientConnection(*this, *m_sock, m_game->seats(), this);
    connect(action("StartGame1"), &QAction::triggered, m_game, &GameView::StartGame1Click);
}
