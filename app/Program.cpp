#include "app/Program.h"

#include "client/DiceStats.h"
#include "client/GameLogWindow.h"
#include "client/GameView.h"
#include "client/StatisticsWindow.h"
#include "client/StatsStore.h"
#include "client/Tgamestart.h"
#include "download/Tdownload.h"
#include "server/TServer.h"
#include "social/SettingsLocation.h"
#include "social/Tabout.h"
#include "social/Thelp.h"
#include "social/Tphrases.h"
#include "social/Tspylist.h"
#include "tally/Ttallylist.h"
#include "ui/DeferredPixmap.h"

Program::Program(Prompter& prompter, const QStringList& arguments)
    : Program(prompter, arguments, Options{}) {}

Program::Program(Prompter& prompter, const QStringList& arguments, const Options& options)
    : m_prompter(prompter), m_options(options) {
    m_chat = std::make_unique<Tchat>(prompter, arguments);
    m_chat->setGamePort(options.gamePort);
    m_chat->setNetworkServices(options.networkServices);
    if (!options.iniPath.isEmpty())
        m_chat->setIniPath(options.iniPath);
    // The other windows all start hidden: they are made once the main window
    // has been drawn, before it reads its command line, or when asked for.
    m_chat->setWindowMaker([this] { makeWindows(); });
}

const Tchat::Windows& Program::windows() {
    makeWindows();
    return m_chat->windows();
}

void Program::makeWindows() {
    if (m_windowsMade)
        return;
    m_windowsMade = true;
    Tchat* chat = m_chat.get();
    Prompter& prompter = m_prompter;
    const Options& options = m_options;

    // Only hidden windows draw it: decoded when the first of them is shown.
    const DeferredPixmap background = DeferredPixmap::fromFile(":/art/background.png");
    Tchat::Windows windows;
    windows.about = new Tabout(chat, background);
    windows.spylist = new Tspylist(chat);
    windows.help = new Thelp(chat, windows.about);
    windows.phrases = new Tphrases(chat, background);
    const QString tallyPath =
        options.tallyPath.isEmpty() ? SettingsLocation::tallyPath() : options.tallyPath;
    windows.tally = new Ttallylist(prompter, tallyPath, chat);
    windows.server = new TServer(*chat, chat);
    windows.server->Sock1().setPortName(options.gamePort);
    windows.download = new Tdownload(
        prompter, [chat] { chat->close(); }, chat);
    windows.download->setPlayWithOthers([chat] { chat->openPlayWithOthers(); });
    windows.gamestart =
        new Tgamestart(chat->state(), chat->game()->model(), *chat, *chat, chat, background);
    windows.gameLog = new GameLogWindow(*chat->gameLog(), prompter, chat);
    // The dice of the games kept across runs, in a file beside the tally's.
    auto* diceFile = new StatsStore(prompter, StatsStore::besideTally(tallyPath), chat);
    QObject::connect(chat->diceStats(), &DiceStats::gameFinished, diceFile, &StatsStore::addGame);
    windows.statistics = new StatisticsWindow(*chat->diceStats(), *diceFile, chat);
    chat->attachWindows(windows);
}

Program::~Program() {
    saveTally();
}

void Program::saveTally() {
    if (m_chat && m_chat->windows().tally)
        m_chat->windows().tally->save();
}
