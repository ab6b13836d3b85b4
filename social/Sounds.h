#pragma once

#include <QObject>
#include <QString>

class SettingsStore;
class SystemLineWriter;
class QAction;
class SoundOutput;
class TableModel;

// The client's sounds: the game sounds, played while Options > "Play Sounds"
// is ticked, and the chatter sounds that players send, played while "Player
// Phrase Sounds" is ticked (whatever "Play Sounds" says) and otherwise
// announced in the chat as a system line.
class Sounds : public QObject {
    Q_OBJECT
public:
    // The table model names the seats that send chatter; without one,
    // chatter is played but never announced.
    Sounds(SoundOutput& output, SystemLineWriter& lines, SettingsStore& settings,
           const TableModel* model = nullptr, QObject* parent = nullptr);

    // A game sound by name ("dice", "winner").
    void playsounds(const QString& name);
    // A relayed CMD_playasound: seat "+" sound name "+". One that does not
    // fit its layout is ignored: a sound is no reason for an error box.
    void playasound(const QByteArray& args);

    // The two switches. The setters only set (the settings file uses them);
    // the menu handlers toggle and save the settings.
    bool playSounds() const { return m_playSounds; }
    void setPlaySounds(bool on);
    bool playerPhraseSounds() const { return m_playerPhraseSounds; }
    void setPlayerPhraseSounds(bool on);
    void PlaySounds1Click();
    void PlayerPhraseSounds1Click();

    // Connects the check items Options > "Play Sounds" and "Player Phrase Sounds".
    void bindMenu(QAction* playSounds1, QAction* playerPhraseSounds1);

private:
    SoundOutput& m_output;
    SystemLineWriter& m_lines;
    SettingsStore& m_settings;
    const TableModel* m_model;
    QAction* m_playSoundsItem = nullptr;
    QAction* m_phraseSoundsItem = nullptr;
    bool m_playSounds = true;
    bool m_playerPhraseSounds = true;
};
