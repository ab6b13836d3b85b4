#include "app/Tchat.h"

#include "app/Application.h"
#include "app/FirstPaintProbe.h"
#include "client/ClientConnection.h"
#include "client/ConnectionWatch.h"
#include "client/GameView.h"
#include "client/TurnButton.h"
#include "net/TSock.h"
#include "protocol/Commands.h"
#include "social/ChatStyle.h"
#include "social/Settings.h"
#include "social/SettingsLocation.h"
#include "social/SoundModule.h"
#include "ui/Prompter.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QDir>
#include <QLockFile>
#include <QMenuBar>
#include <QRandomGenerator>
#include <QShowEvent>
#include <QStandardPaths>
#include <QTimer>


namespace {
constexpr int panelWidth = 764;
constexpr int panelHeight = 526;
} // namespace

Tchat::Tchat(Prompter& prompter, const QStringList& arguments, QWidget* parent)
    : QMainWindow(parent), m_prompter(prompter), m_arguments(arguments) {
    setObjectName("Tchat");
    setWindowTitle("Climora");

    // The named mutex "climora", held until the program ends; nothing tests it.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    m_mutex = new QLockFile(
        QDir(runtime.isEmpty() ? QDir::tempPath() : runtime).filePath("climora.lock"));
    m_mutex->setStaleLockTime(0);
    m_mutex->tryLock(0);

    auto* client = new QWidget(this);
    client->setObjectName("clientarea");
    client->setMinimumSize(panelWidth + 4, panelHeight + 4);
    m_panelBoard = new QWidget(client);
    m_panelBoard->setObjectName("panel_board");
    m_panelBoard->setGeometry(2, 2, panelWidth, panelHeight);
    setCentralWidget(client);

    m_sock = new TSock(this);
    m_sock->setObjectName("sock");
    m_sock->setPortName("7772");
    m_sock11 = new TSock(this);
    m_sock11->setObjectName("Sock11");
    m_sock11->setPortName("9001");
    m_sock11->setHostName("127.0.0.1");

    m_soundOutput = std::make_unique<SoundModule>();
    buildMenus();
    buildGame();
    buildSocial();
    buildDispatchTable();
    buildDesktop();
    m_settings = new Settings(*this, SettingsLocation::iniPath());
    buildOthers();

    // Made before any other watcher of the first paint (the benchmark's), so
    // that the others hear of it first.
    new FirstPaintProbe(this, [this](qint64) { readCommandLineOnce(); });

    move(Settings::defaultBounds.topLeft());
    resize(panelWidth + 4, panelHeight + 4 + menuBar()->sizeHint().height());
}

Tchat::~Tchat() {
    // The sockets outlive this part of the object (they are children of the
    // window): unhook them first, so a close they report reaches nobody.
    m_sock->OnInfo = nullptr;
    m_sock->OnRead = nullptr;
    delete m_connection;
    m_connection = nullptr;
    delete m_settings;
    delete m_mutex;
}

void Tchat::buildMenus() {
    auto add = [this](QMenu* menu, const QString& name, const QString& caption) {
        QAction* item = menu->addAction(caption);
        item->setObjectName(name);
        m_actions.insert(name, item);
        return item;
    };
    auto checkable = [&](QMenu* menu, const QString& name, const QString& caption, bool on) {
        QAction* item = add(menu, name, caption);
        item->setCheckable(true);
        item->setChecked(on);
        return item;
    };
    auto radio = [&](QMenu* menu, QActionGroup* group, const QString& name, const QString& caption,
                     int tag, bool on) {
        QAction* item = checkable(menu, name, caption, on);
        item->setData(tag);
        group->addAction(item);
        return item;
    };

    QMenu* file = menuBar()->addMenu("&File");
    file->setObjectName("File1");
    QAction* startGame = add(file, "StartGame1", "Start Game");
    startGame->setEnabled(false);
    startGame->setShortcut(QKeySequence(Qt::Key_S));
    add(file, "PlayWithOthers1", "Play with Others...");
    add(file, "CopyJoinAddress1", "Copy Join Address")->setEnabled(false);
    file->addSeparator();
    QAction* exit = add(file, "Exit1", "Exit");
    exit->setShortcut(QKeySequence("Ctrl+Q"));
    connect(exit, &QAction::triggered, this, [this] {
        if (exitConfirmed())
            close();
    });

    QMenu* options = menuBar()->addMenu("&Options");
    options->setObjectName("Options1");
    checkable(options, "PlaySounds1", "Play Sounds", true);
    checkable(options, "PlayerPhraseSounds1", "Player Phrase Sounds", true);
    checkable(options, "TurnAlertTaskbar1", "Flash Window on My Turn", true);
    checkable(options, "TurnAlertNotify1", "Notify on My Turn", true);
    QMenu* turnSound = options->addMenu("Turn Sound");
    turnSound->setObjectName("TurnSound1");
    turnSound->menuAction()->setData(Settings::turnClassic);
    m_actions.insert("TurnSound1", turnSound->menuAction());
    auto* turnGroup = new QActionGroup(this);
    radio(turnSound, turnGroup, "Classic1", "Classic", Settings::turnClassic, true);
    radio(turnSound, turnGroup, "New1", "New", Settings::turnNew, false);
    QMenu* botSpeed = options->addMenu("Bot Speed");
    botSpeed->setObjectName("BotSpeed1");
    botSpeed->menuAction()->setData(Settings::botNormal);
    m_actions.insert("BotSpeed1", botSpeed->menuAction());
    auto* botGroup = new QActionGroup(this);
    radio(botSpeed, botGroup, "Slow1", "Slow", Settings::botSlow, false);
    radio(botSpeed, botGroup, "Normal1", "Normal", Settings::botNormal, true);
    radio(botSpeed, botGroup, "Fast1", "Fast", Settings::botFast, false);
    buildComputerMenu(options);
    options->addSeparator();
    add(options, "TextColor1", "Text Color");
    QMenu* textSize = options->addMenu("Text Size");
    textSize->setObjectName("TextSize1");
    m_actions.insert("TextSize1", textSize->menuAction());
    for (int size : {8, 10, 12, 14}) {
        QAction* item = checkable(textSize, QString("N%1").arg(size) + "1", QString::number(size),
                                  size == ChatStyle::initialSize);
        item->setData(size);
    }
    QAction* scrollOff = checkable(options, "ScrollChatOff1", "Scroll Chat Off", false);
    scrollOff->setShortcut(QKeySequence("Ctrl+S"));
    add(options, "ClearMainChat1", "Clear Main Chat");
    add(options, "ResetScreenLocation1", "Reset Screen Location");
    options->addSeparator();
    checkable(options, "JustWatch1", "Just Watch", false);

    QMenu* view = menuBar()->addMenu("&View");
    view->setObjectName("View1");
    add(view, "ViewTally1", "View Tally");
    add(view, "SpyList1", "Spy List");
    add(view, "PrhaseList1", "Phrase List");
    add(view, "GameLog1", "Game Log")->setShortcut(QKeySequence("Ctrl+L"));
    add(view, "Statistics1", "Statistics")->setShortcut(QKeySequence("Ctrl+T"));

    QMenu* help = menuBar()->addMenu("&Help");
    help->setObjectName("Help1");
    add(help, "Content1", "Content")->setShortcut(QKeySequence(Qt::Key_F1));
    help->addSeparator();
    add(help, "About1", "About");

    // A choice in a radio group sets the group's tag and saves.
    connect(botGroup, &QActionGroup::triggered, this, [this](QAction* item) {
        m_actions.value("BotSpeed1")->setData(item->data());
        saveSettings();
    });
    connect(turnGroup, &QActionGroup::triggered, this, [this](QAction* item) {
        m_actions.value("TurnSound1")->setData(item->data());
        saveSettings();
    });
    connect(m_actions.value("ResetScreenLocation1"), &QAction::triggered, this,
            [this] { setWindowBounds(Settings::defaultBounds); });
}

QAction* Tchat::action(const QString& name) const {
    return m_actions.value(name);
}

int Tchat::botSpeedMs() const {
    return m_actions.value("BotSpeed1")->data().toInt();
}

bool Tchat::turnSoundNew() const {
    return m_actions.value("TurnSound1")->data().toInt() == Settings::turnNew;
}

void Tchat::setJustWatchTicked(bool ticked) {
    m_actions.value("JustWatch1")->setChecked(ticked);
}

void Tchat::send(const QByteArray& message) {
    m_sock->Send(cmd::frame(message));
}

void Tchat::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // The command line is read once, right after the window has first been
    // drawn: the window appears at once and the download offer, the server
    // and the connection follow. It runs from the event loop, so that an
    // error it raises (a taken port, say) is reported without interrupting
    // the showing of the window. A window that is not drawn soon (shown
    // minimised, say) reads it anyway.
    if (m_paramsDone || m_paramsScheduled)
        return;
    m_paramsScheduled = true;
    QTimer::singleShot(paramsAtTheLatestMs, this, &Tchat::readCommandLineOnce);
}

void Tchat::readCommandLineOnce() {
    if (m_paramsDone)
        return;
    m_paramsDone = true;
    if (m_windowMaker) {
        const auto make = std::move(m_windowMaker);
        m_windowMaker = nullptr;
        make();
    }
    processparams();
}

void Tchat::processparams() {
    m_game->board().startButton()->hide();
    action("StartGame1")->setEnabled(false);
    if (m_arguments.isEmpty()) {
        systemLine("Loading Solo Game..Please wait.");
        if (m_windows.download)
            showDownload();
        m_state.hostAddress = "127.0.0.1";
        m_state.playerName = "You";
        hostpress();
        return;
    }
    systemLine("Loading Multi-player Game.. Please Wait.");
    if (m_arguments.size() < 3)
        return; // the action happens only on reaching the third argument
    m_state.playerName = m_arguments[0];
    m_state.hostAddress = m_arguments[1];
    if (m_arguments[2] == "true") {
        hostpress();
        hostingByNameStarted();
    } else {
        joinpress();
    }
    // The lobby link: nothing is ever sent or read on it, and a failure to
    // connect goes unnoticed.
    try {
        m_sock11->Open();
    } catch (const std::exception&) {
    }
}

void Tchat::joinpress() {
    m_sock->setHostName(m_state.hostAddress);
    m_watch->joining(m_state.hostAddress);
    try {
        m_sock->Open();
    } catch (const ESockException&) {
        m_watch->lookupFailed(); // told after the socket layer's own report
        throw;
    }
}

void Tchat::reportError(const QString& text) {
    if (m_errorShowing) {
        systemLine(text);
        return;
    }
    m_errorShowing = true;
    QTimer::singleShot(0, this, [this, text] {
        if (auto* app = dynamic_cast<Application*>(QCoreApplication::instance()))
            app->report(text);
        else
            m_prompter.message(text);
        m_errorShowing = false;
    });
}

void Tchat::closeMainWindow() {
    close();
}
