// The social side of the main window: the chat view and input, the phrase,
// chatter and smiley buttons, the sounds and the spectators, all on the board
// panel, and their menu items.
#include "app/Tchat.h"
#include "client/GameView.h"
#include "client/SeatsView.h"
#include "social/ChatComposer.h"
#include "social/ChatDisplay.h"
#include "social/ChatInput.h"
#include "social/SoundOutput.h"
#include "social/Sounds.h"
#include "social/Spectators.h"
#include "social/Tabout.h"
#include "social/Thelp.h"

#include <QAction>

namespace {
// Stands in until a real output is supplied, so the program runs without one.
class SilentOutput : public SoundOutput {
public:
    void play(const QString&) override {}
};
} // namespace

void Tchat::buildSocial() {
    static SilentOutput silent;
    m_chat = new ChatDisplay(m_prompter, *this, m_panelBoard);
    m_composer = new ChatComposer(m_state, m_game->model(), *this, m_panelBoard);
    m_chat->setInputLine(m_composer->input());
    m_sounds =
        new Sounds(m_soundOutput ? *m_soundOutput : silent, *this, *this, &m_game->model(), this);
    m_spectators = new Spectators(m_state, *this, *this, *this, m_game->model(), this);
    connect(&m_game->seats(), &SeatsView::seatMenuRequested, m_spectators,
            &Spectators::openSeatMenu);

    m_chat->bindOptionsMenu(action("ScrollChatOff1"), action("ClearMainChat1"),
                            {action("N81"), action("N101"), action("N121"), action("N141")});
    m_sounds->bindMenu(action("PlaySounds1"), action("PlayerPhraseSounds1"));
    m_spectators->bindJustWatch(action("JustWatch1"));
    connect(action("SpyList1"), &QAction::triggered, m_spectators, &Spectators::SpyList1Click);

    // The help and About windows are made after the main window; the items
    // look for them when chosen.
    connect(action("Content1"), &QAction::triggered, this, [this] {
        if (Thelp* help = m_windows.help) {
            help->show();
            help->raise();
            help->activateWindow();
        }
    });
    connect(action("About1"), &QAction::triggered, this, [this] {
        if (Tabout* about = m_windows.about) {
            about->show();
            about->raise();
            about->activateWindow();
        }
    });
}

void Tchat::wireSocialWindows() {
    m_spectators->attachSpyList(m_windows.spylist);
    // The main window's logo is a link to the maker's site, like the About window's.
    if (m_windows.about)
        connect(m_game, &GameView::logoClicked, m_windows.about, &Tabout::openSite);
    if (m_windows.help && m_windows.about)
        m_windows.help->setAbout(m_windows.about);
}
