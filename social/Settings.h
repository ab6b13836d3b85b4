#pragma once

#include <QRect>
#include <QString>
#include <QStringList>

class SettingsTarget;

// The player's preferences in the section "Climora" of the settings file.
// Loading applies every key to the main window through SettingsTarget;
// saving writes them back. Each read and write opens and closes the file,
// and touches only the key concerned, so other sections and keys survive.
// No failure to read or write the file is ever reported to the player: a
// key that cannot be read takes its default, one that cannot be written is
// skipped and the others are still written.
class Settings {
public:
    static constexpr const char* section = "Climora";

    // Tags of Options > "Bot Speed" and "Turn Sound".
    static constexpr int botSlow = 1000;
    static constexpr int botNormal = 750;
    static constexpr int botFast = 400;
    static constexpr int turnClassic = 0;
    static constexpr int turnNew = 1;

    // The defaults of a missing file; also what "Reset Screen Location" restores.
    static constexpr int defaultTextSize = 8;
    static constexpr QRect defaultBounds{3, 3, 772, 535};
    // How much narrower (lower) a window larger than the work area is saved.
    static constexpr int oversizeShrink = 15;

    Settings(SettingsTarget& target, const QString& iniPath);

    // Reads the section and applies every key; records the window bounds read.
    void loadinifile();
    // Writes every preference except the phrases, in a fixed order.
    void saveinifile();
    // Writes Phrase1 to Phrase9, empty ones included. Missing entries of a
    // shorter list are written empty.
    void savePhrases(const QStringList& phrases);
    // The main window is closing: saves unless the window kept the bounds of
    // the last load or close.
    void closeWindow();

    // The name for games with others ("PlayerName") and the hosts joined
    // last, most recent first ("RecentHost1" to "RecentHost5"). What the
    // file holds is checked on reading: an unusable name reads as empty,
    // unusable hosts are left out. Each is written at once.
    QString playerName() const;
    void savePlayerName(const QString& name);
    QStringList recentHosts() const;
    void saveRecentHosts(const QStringList& hosts);

    // The window bounds of the last load or close; all 0 before either.
    QRect recordedBounds() const { return m_recorded; }
    QString iniPath() const { return m_iniPath; }

private:
    void writeAll(const QRect& bounds);

    SettingsTarget& m_target;
    QString m_iniPath;
    QRect m_recorded{0, 0, 0, 0};
};
