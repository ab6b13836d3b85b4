#include "social/Settings.h"

#include "client/PlayerName.h"
#include "client/RecentHosts.h"
#include "social/IniFile.h"
#include "social/SettingsTarget.h"

namespace {
// A text size outside this range would make the chat unreadable (or, at
// absurd sizes, lock the program up laying it out); such a value in a
// hand-edited file is read as unreadable and gives the default.
constexpr int minTextSize = 1;
constexpr int maxTextSize = 72;

const char* const fallbackColour = "clBlack";

QString recentHostKey(int n) {
    return QStringLiteral("RecentHost%1").arg(n);
}

QString phraseKey(int n) {
    return QStringLiteral("Phrase%1").arg(n);
}

// The boolean keys are off only for the exact text "false".
bool onUnlessFalse(const QString& value) {
    return value != QLatin1String("false");
}

QString trueFalse(bool on) {
    return on ? QStringLiteral("true") : QStringLiteral("false");
}

// A line break inside a value would end the line in the file and let the rest
// read as a key of its own; phrases are one-line texts, so breaks become blanks.
QString oneLine(QString text) {
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}
} // namespace

Settings::Settings(SettingsTarget& target, const QString& iniPath)
    : m_target(target), m_iniPath(iniPath) {}

void Settings::loadinifile() {
    const IniFile ini(m_iniPath);

    int size = ini.readInteger(section, "Textsize", defaultTextSize);
    if (size < minTextSize || size > maxTextSize)
        size = defaultTextSize;
    m_target.setTextSize(size);

    const int top = ini.readInteger(section, "Top", defaultBounds.top());
    const int left = ini.readInteger(section, "Left", defaultBounds.left());
    const int width = ini.readInteger(section, "Width", defaultBounds.width());
    const int height = ini.readInteger(section, "Height", defaultBounds.height());
    m_recorded = QRect(left, top, width, height);
    m_target.setWindowBounds(m_recorded);

    if (!m_target.setTextColourText(ini.readString(section, "Textcolor", "clblack")))
        m_target.setTextColourText(fallbackColour);

    m_target.setUseAll(ini.readInteger(section, "Useall", 0));

    // "classic" or "strong"; anything else plays Classic.
    const QString level = ini.readString(section, "Computerlevel", "classic");
    m_target.setComputerLevel(botlevel::fromKey(level.toStdString()).value_or(BotLevel::Classic));
    const QString speed = ini.readString(section, "Botspeed", "400");
    if (speed == QLatin1String("1000"))
        m_target.setBotSpeed(botSlow);
    else if (speed == QLatin1String("400"))
        m_target.setBotSpeed(botFast);
    else
        m_target.setBotSpeed(botNormal);

    const QString turn = ini.readString(section, "Turnsound", "0");
    m_target.setTurnSound(turn == QLatin1String("1") ? turnNew : turnClassic);

    // An empty saved phrase leaves the button's current phrase.
    for (int n = 1; n <= 9; ++n) {
        const QString text = ini.readString(section, phraseKey(n), QString());
        if (!text.isEmpty())
            m_target.setPhrase(n, text);
    }

    m_target.setPlaySounds(onUnlessFalse(ini.readString(section, "Playsounds", "true")));
    m_target.setPlayerPhraseSounds(
        onUnlessFalse(ini.readString(section, "Playerphrasesounds", "true")));
    m_target.setTurnAlertFlash(onUnlessFalse(ini.readString(section, "Turnalert", "true")));
    m_target.setTurnAlertNotify(onUnlessFalse(ini.readString(section, "Turnnotify", "true")));
}

void Settings::saveinifile() {
    writeAll(m_target.windowBounds());
}

void Settings::writeAll(const QRect& bounds) {
    IniFile ini(m_iniPath);
    // Every write stands alone: a failed key does not stop the rest.
    ini.writeInteger(section, "Textsize", m_target.textSize());
    ini.writeInteger(section, "Top", bounds.top());
    ini.writeInteger(section, "Left", bounds.left());
    ini.writeInteger(section, "Width", bounds.width());
    ini.writeInteger(section, "Height", bounds.height());
    ini.writeInteger(section, "Useall", m_target.useAll());
    ini.writeString(section, "Textcolor", m_target.textColourText());
    ini.writeInteger(section, "Botspeed", m_target.botSpeed());
    ini.writeInteger(section, "Turnsound", m_target.turnSound());
    ini.writeString(section, "Playerphrasesounds", trueFalse(m_target.playerPhraseSounds()));
    ini.writeString(section, "Playsounds", trueFalse(m_target.playSounds()));
    ini.writeString(section, "Turnalert", trueFalse(m_target.turnAlertFlash()));
    ini.writeString(section, "Turnnotify", trueFalse(m_target.turnAlertNotify()));
    const std::string_view level = botlevel::key(m_target.computerLevel());
    ini.writeString(section, "Computerlevel",
                    QString::fromLatin1(level.data(), qsizetype(level.size())));
}

void Settings::savePhrases(const QStringList& phrases) {
    IniFile ini(m_iniPath);
    for (int n = 1; n <= 9; ++n)
        ini.writeString(section, phraseKey(n), oneLine(phrases.value(n - 1)));
}

void Settings::closeWindow() {
    QRect bounds = m_target.windowBounds();
    if (bounds.left() == m_recorded.left() && bounds.top() == m_recorded.top() &&
        bounds.width() == m_recorded.width() && bounds.height() == m_recorded.height())
        return;
    const QRect area = m_target.workArea();
    if (bounds.width() > area.width())
        bounds.setWidth(bounds.width() - oversizeShrink);
    if (bounds.height() > area.height())
        bounds.setHeight(bounds.height() - oversizeShrink);
    m_target.setWindowBounds(bounds);
    m_recorded = bounds;
    // The computed bounds are written, not read back: a window manager may
    // apply the new geometry only later.
    writeAll(bounds);
}

QString Settings::playerName() const {
    return PlayerName::fromStored(IniFile(m_iniPath).readString(section, "PlayerName", QString()));
}

void Settings::savePlayerName(const QString& name) {
    IniFile(m_iniPath).writeString(section, "PlayerName", oneLine(name));
}

QStringList Settings::recentHosts() const {
    const IniFile ini(m_iniPath);
    QStringList stored;
    for (int n = 1; n <= RecentHosts::capacity; ++n)
        stored << ini.readString(section, recentHostKey(n), QString());
    return RecentHosts::fromStored(stored).hosts();
}

void Settings::saveRecentHosts(const QStringList& hosts) {
    IniFile ini(m_iniPath);
    for (int n = 1; n <= RecentHosts::capacity; ++n)
        ini.writeString(section, recentHostKey(n), oneLine(hosts.value(n - 1)));
}
