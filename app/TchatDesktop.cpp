// The main window's desktop manners: the game played by keyboard from the
// Play menu's keys, the hints beside the dice and on the board, the names
// screen readers speak, the board and side panel scaled with the window, and
// the question before Exit ends a running game.
#include "app/Tchat.h"
#include "client/AccessibleNames.h"
#include "client/ColumnHints.h"
#include "client/GameView.h"
#include "client/KeyboardPlay.h"
#include "social/ChatComposer.h"
#include "social/ChatInput.h"
#include "ui/PanelScaler.h"
#include "ui/Prompter.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include <vector>

void Tchat::buildDesktop() {
    TableModel& model = m_game->model();
    m_keys = new KeyboardPlay(m_game->selection(), model, this);
    m_hints = new ColumnHints(model, m_game->board(), this);
    new AccessibleNames(model, m_game->board(), this);

    // The Play menu lists the game's keys; it sits between File and Options.
    auto* play = new QMenu("&Play", menuBar());
    play->setObjectName("Play1");
    const auto& keys = m_keys->actions();
    for (size_t i = 0; i < keys.size(); ++i) {
        if (i == 4 || i == 5)
            play->addSeparator(); // dice, placing, the turn buttons
        play->addAction(keys[i]);
        m_actions.insert(keys[i]->objectName(), keys[i]);
    }
    auto* options = menuBar()->findChild<QMenu*>("Options1");
    menuBar()->insertMenu(options ? options->menuAction() : nullptr, play);

    // The game's plain keys act only while the keyboard is in the main
    // window: in the game start window, the download offer or Play with
    // Others, Enter and Space press that window's buttons and S is typed.
    std::vector<QAction*> gameKeys(keys.begin(), keys.end());
    gameKeys.push_back(action("StartGame1"));
    for (QAction* key : gameKeys) {
        key->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        addAction(key);
    }

    // Escape leaves the chat input, and the game's keys work again.
    connect(m_composer->input(), &ChatInput::escapePressed, this,
            [this] { m_panelBoard->setFocus(Qt::ShortcutFocusReason); });

    m_scaler = new PanelScaler(m_panelBoard, this);
}

bool Tchat::exitConfirmed() {
    return !m_game->gameRunning() || m_prompter.question("A game is running. Exit anyway?");
}
