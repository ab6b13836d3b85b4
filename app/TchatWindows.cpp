// The main window's links to the other windows, the settings it keeps and
// the start of hosting; the rest of Tchat is in Tchat.cpp.
#include "app/Tchat.h"
#include "client/ClientConnection.h"
#include "client/GameLogWindow.h"
#include "client/GameView.h"
#include "client/StatisticsWindow.h"
#include "client/TableModel.h"
#include "client/Tgamestart.h"
#include "client/TurnAlert.h"
#include "client/TurnButton.h"
#include "download/Tdownload.h"
#include "net/TSock.h"
#include "server/TServer.h"
#include "social/ChatComposer.h"
#include "social/ChatDisplay.h"
#include "social/Settings.h"
#include "social/SettingsLocation.h"
#include "social/Sounds.h"
#include "social/Spectators.h"
#include "social/Tphrases.h"
#include "tally/Ttallylist.h"
#include "ui/Prompter.h"

#include <QAction>
#include <QCloseEvent>
#include <QColorDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QScreen>

void Tchat::attachWindows(const Windows& windows) {
    m_windows = windows;
    wireWindows();
}

void Tchat::wireWindows() {
    wireSocialWindows();
    connect(action("ViewTally1"), &QAction::triggered, this, &Tchat::viewTally);
    connect(action("GameLog1"), &QAction::triggered, this, [this] {
        if (!m_windows.gameLog)
            return;
        m_windows.gameLog->show();
        m_windows.gameLog->raise();
    });
    connect(action("Statistics1"), &QAction::triggered, this, [this] {
        if (!m_windows.statistics)
            return;
        m_windows.statistics->show();
        m_windows.statistics->raise();
    });
    connect(action("PrhaseList1"), &QAction::triggered, this, &Tchat::openPhraseEditor);
    connect(action("TextColor1"), &QAction::triggered, this, &Tchat::chooseTextColour);
    if (m_windows.phrases) {
        connect(m_windows.phrases, &Tphrases::phrasesDone, this, [this](const QStringList& texts) {
            for (int n = 1; n <= texts.size() && n <= 9; ++n)
                setPhrase(n, texts[n - 1]);
            m_settings->savePhrases(texts);
        });
    }
}

void Tchat::hostpress() {
    TSock& listener = m_windows.server->Sock1();
    // A solo game takes no players from the network: only its own client,
    // through 127.0.0.1. Hosting by name takes them on every address, IPv6
    // as well as IPv4 where the machine has IPv6.
    listener.setBindAddress(m_arguments.isEmpty() ? QStringLiteral("127.0.0.1") : QString());
    listener.setListen(true);
    m_state.host = true;
    m_sock->setHostName("127.0.0.1");
    if (m_sock->portName() == "0")
        m_sock->setPortName(QString::number(listener.localPort()));
    m_sock->Open();
    // The connection is made (its local port known) before the server
    // accepts anything: the listener's events come from the event loop.
    m_windows.server->keepFirstSeatFor(m_sock->localPort());
    m_game->board().startButton()->show();
    action("StartGame1")->setEnabled(true);
    m_spectators->setHosting(true);
}

void Tchat::setGamePort(const QString& port) {
    m_sock->setPortName(port);
}

void Tchat::setIniPath(const QString& path) {
    delete m_settings;
    m_settings = new Settings(*this, path);
}

void Tchat::showDownload() {
    m_windows.download->show();
    m_windows.download->raise();
    // The offer takes the keyboard, so that Enter chooses its default
    // button, "Play Solo Game", without a click first.
    m_windows.download->activateWindow();
}

void Tchat::systemLine(const QString& text) {
    m_chat->addlinetochat("0+" + text, systemColour);
}

void Tchat::playsounds(const QString& name) {
    m_sounds->playsounds(name);
}

void Tchat::loadSettings() {
    m_settings->loadinifile();
}

void Tchat::saveSettings() {
    m_settings->saveinifile();
}

void Tchat::recordGame(const QString& winner) {
    const TableModel& model = m_game->model();
    if (m_windows.tally)
        m_windows.tally->addgame(winner, model.ownSeat(), model.seatCaptions());
}

void Tchat::viewTally() {
    if (!m_windows.tally)
        return;
    const TableModel& model = m_game->model();
    m_windows.tally->loadchecklist(model.ownSeat(), model.seatCaptions());
    m_windows.tally->show();
    m_windows.tally->raise();
}

void Tchat::showGameStart() {
    if (!m_windows.gamestart)
        return;
    m_windows.gamestart->show();
    m_windows.gamestart->raise();
    // Its keys (Enter starts) work at once, whether opened by key or click.
    m_windows.gamestart->activateWindow();
}

void Tchat::openPhraseEditor() {
    if (!m_windows.phrases)
        return;
    QStringList current;
    for (int n = 1; n <= 9; ++n)
        current << phrase(n);
    m_windows.phrases->open(current);
}

void Tchat::chooseTextColour() {
    const quint32 value = m_composer->textColour();
    const QColor current(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
    const QColor chosen = QColorDialog::getColor(current, this, "Text Color");
    if (!chosen.isValid())
        return;
    m_composer->setTextColour(quint32(chosen.red()) | quint32(chosen.green()) << 8 |
                              quint32(chosen.blue()) << 16);
    saveSettings();
}

void Tchat::closeEvent(QCloseEvent* event) {
    // The window's own close button asks like File > Exit; a close the
    // program makes (the connection ended, a restart) does not.
    if (event->spontaneous() && !exitConfirmed()) {
        event->ignore();
        return;
    }
    m_settings->closeWindow();
    event->accept();
    QMainWindow::closeEvent(event);
    QCoreApplication::quit();
}

void Tchat::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
}

// SettingsTarget

int Tchat::textSize() const {
    return m_chat->textSize();
}
void Tchat::setTextSize(int points) {
    m_chat->setTextSize(points);
}
QString Tchat::textColourText() const {
    return m_composer->textColourText();
}
bool Tchat::setTextColourText(const QString& text) {
    return m_composer->setTextColourText(text);
}

int Tchat::useAll() const {
    return m_windows.gamestart ? m_windows.gamestart->optionValue() : 0;
}
void Tchat::setUseAll(int value) {
    if (m_windows.gamestart)
        m_windows.gamestart->changebox("box_useall", value);
}

int Tchat::botSpeed() const {
    return botSpeedMs();
}
void Tchat::setBotSpeed(int tag) {
    action("BotSpeed1")->setData(tag);
    for (const char* name : {"Slow1", "Normal1", "Fast1"})
        action(name)->setChecked(action(name)->data().toInt() == tag);
}

int Tchat::turnSound() const {
    return action("TurnSound1")->data().toInt();
}
void Tchat::setTurnSound(int tag) {
    action("TurnSound1")->setData(tag);
    action("Classic1")->setChecked(tag == 0);
    action("New1")->setChecked(tag == 1);
}

QString Tchat::phrase(int n) const {
    return m_composer->phrase(n);
}
void Tchat::setPhrase(int n, const QString& text) {
    m_composer->setPhrase(n, text);
}

bool Tchat::playSounds() const {
    return m_sounds->playSounds();
}
void Tchat::setPlaySounds(bool on) {
    m_sounds->setPlaySounds(on);
}
bool Tchat::playerPhraseSounds() const {
    return m_sounds->playerPhraseSounds();
}
void Tchat::setPlayerPhraseSounds(bool on) {
    m_sounds->setPlayerPhraseSounds(on);
}

bool Tchat::turnAlertFlash() const {
    return action("TurnAlertTaskbar1")->isChecked();
}
void Tchat::setTurnAlertFlash(bool on) {
    action("TurnAlertTaskbar1")->setChecked(on);
    m_turnAlert->setFlashOn(on);
}
bool Tchat::turnAlertNotify() const {
    return action("TurnAlertNotify1")->isChecked();
}
void Tchat::setTurnAlertNotify(bool on) {
    action("TurnAlertNotify1")->setChecked(on);
    m_turnAlert->setNotifyOn(on);
}

QRect Tchat::windowBounds() const {
    return frameGeometry();
}

void Tchat::setWindowBounds(const QRect& bounds) {
    // The bounds are the outer frame; the frame's own size comes off the client area.
    const int extraWidth = frameGeometry().width() - geometry().width();
    const int extraHeight = frameGeometry().height() - geometry().height();
    resize(bounds.width() - extraWidth, bounds.height() - extraHeight);
    move(bounds.topLeft());
}

QRect Tchat::workArea() const {
    const QScreen* where = screen() ? screen() : QGuiApplication::primaryScreen();
    return where ? where->availableGeometry() : QRect(0, 0, 1024, 768);
}
