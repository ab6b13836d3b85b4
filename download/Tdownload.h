#pragma once

#include "net/THttpCli.h"

#include <QDialog>
#include <QFile>
#include <QStringList>

#include <functional>

class Prompter;
class QLabel;
class QPushButton;

// The small window of a solo start that offers to download and run the
// installer of the Orvane Lobby, to start the lobby when it is installed, or
// to go on with the solo game. The download runs on the event loop; the
// window stays usable meanwhile so that it can be stopped.
class Tdownload : public QDialog {
    Q_OBJECT
public:
    // Starts another program detached with the given arguments; false when
    // it could not be started.
    using Launcher = std::function<bool(const QString& program, const QStringList& arguments)>;

    // endGame ends the game program the way the main window's Exit does.
    Tdownload(Prompter& prompter, std::function<void()> endGame, QWidget* parent = nullptr);
    // A download still running is aborted.
    ~Tdownload() override;

    // The largest installer accepted; a download announced or growing larger
    // is stopped before it fills the disk.
    static constexpr qint64 MaxInstallerSize = qint64(256) << 20;

    // The address of the maker's installer used when nothing else is set.
    static QString defaultInstallerUrl();
    // The default, or the environment variable CLIMORA_LOBBY_URL when set.
    static QString configuredInstallerUrl();
    QString installerUrl() const { return m_url; }
    void setInstallerUrl(const QString& url) { m_url = url; }

    // Where the installer is saved: the program's folder when it is
    // writable, else the user's download folder, else the program's data
    // folder. An explicitly set folder is used as it is.
    QString downloadFolder() const;
    void setDownloadFolder(const QString& folder) { m_folder = folder; }
    // The full path of the local file of the last download.
    QString localFile() const { return m_localPath; }

    // The lobby program: the configured path when set and present, else an
    // "orvanelobby" found on the search path; empty when there is none.
    QString lobbyProgram() const;
    void setLobbyPath(const QString& path) { m_lobbyPath = path; }

    // Replaces the way programs are started (tests use it to start nothing).
    void setLauncher(Launcher launcher) { m_launch = std::move(launcher); }
    // Opens the program's own "Play with Others" window; "Play with Others"
    // opens it when no lobby program is found.
    void setPlayWithOthers(std::function<void()> open) { m_playWithOthers = std::move(open); }
    // The HTTP client, for its settings.
    THttpCli& http() { return m_http; }

    // 1 while a download runs, 2 once one was aborted or failed, 0 before any.
    int abortMark() const { return m_abortMark; }
    bool isDownloading() const { return m_http.isBusy(); }

    // The installer's arguments.
    static QStringList installerArguments();

public slots:
    void getbuttonClick();
    void abortbuttonClick();
    void Button1Click();
    void Button2Click();

signals:
    // A progress label (infolabel or infolabel3) got a new text.
    void statusChanged(const QString& label, const QString& text);

protected:
    void showEvent(QShowEvent* event) override;
    // Gives the keyboard back to the main window it was opened over.
    void hideEvent(QHideEvent* event) override;

private:
    void buildControls();
    void setStatus(QLabel* label, const QString& text);
    void requestDone(bool ok, int status);
    QString incompleteReason(bool ok, int status) const;
    void install();
    void centreOnDesktop();

    Prompter& m_prompter;
    std::function<void()> m_endGame;
    Launcher m_launch;
    THttpCli m_http;
    QFile m_file;
    QString m_url;
    QString m_folder;
    QString m_lobbyPath;
    std::function<void()> m_playWithOthers;
    QString m_localPath;
    int m_abortMark = 0;
    bool m_pictureLoaded = false;

    QLabel* m_Image1 = nullptr;
    QLabel* m_Label1 = nullptr;
    QPushButton* m_getbutton = nullptr;
    QPushButton* m_abortbutton = nullptr;
    QLabel* m_infolabel = nullptr;
    QLabel* m_infolabel3 = nullptr;
    QLabel* m_infolabel2 = nullptr;
    QLabel* m_Label7 = nullptr;
    QLabel* m_Label3 = nullptr;
    QPushButton* m_Button1 = nullptr;
    QLabel* m_Label5 = nullptr;
    QPushButton* m_Button2 = nullptr;
};
