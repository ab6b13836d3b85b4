#include "social/Sounds.h"

#include "client/SettingsStore.h"
#include "client/SystemLineWriter.h"
#include "client/TableModel.h"
#include "protocol/Cp1252.h"
#include "protocol/EConvertError.h"
#include "protocol/Messages.h"
#include "social/ChatterSounds.h"
#include "social/SoundOutput.h"

#include <QAction>

Sounds::Sounds(SoundOutput& output, SystemLineWriter& lines, SettingsStore& settings,
               const TableModel* model, QObject* parent)
    : QObject(parent), m_output(output), m_lines(lines), m_settings(settings), m_model(model) {}

void Sounds::playsounds(const QString& name) {
    if (m_playSounds)
        m_output.play(name);
}

void Sounds::playasound(const QByteArray& args) {
    msg::SeatText chatter;
    try {
        chatter = msg::readSeatText(args);
    } catch (const EConvertError&) {
        return;
    }
    QString name = cp1252::toUnicode(chatter.body);
    const qsizetype end = name.indexOf(QLatin1Char('+'));
    if (end >= 0)
        name.truncate(end);

    if (m_playerPhraseSounds) {
        m_output.play(name);
        return;
    }
    // Announced instead: only for a seat at the table and a sound of the menu.
    const int sound = ChatterSounds::number(name);
    if (!m_model || !seats::isPlaying(chatter.seat) || sound == 0)
        return;
    m_lines.systemLine(m_model->seatName(chatter.seat) + ": <Chatter Sound> " +
                       ChatterSounds::caption(sound));
}

void Sounds::setPlaySounds(bool on) {
    m_playSounds = on;
    if (m_playSoundsItem)
        m_playSoundsItem->setChecked(on);
}

void Sounds::setPlayerPhraseSounds(bool on) {
    m_playerPhraseSounds = on;
    if (m_phraseSoundsItem)
        m_phraseSoundsItem->setChecked(on);
}

void Sounds::PlaySounds1Click() {
    setPlaySounds(!m_playSounds);
    m_settings.saveSettings();
}

void Sounds::PlayerPhraseSounds1Click() {
    setPlayerPhraseSounds(!m_playerPhraseSounds);
    m_settings.saveSettings();
}

void Sounds::bindMenu(QAction* playSounds1, QAction* playerPhraseSounds1) {
    m_playSoundsItem = playSounds1;
    m_phraseSoundsItem = playerPhraseSounds1;
    // The check marks follow the switches, whatever Qt's own toggle did.
    if (playSounds1) {
        playSounds1->setCheckable(true);
        playSounds1->setChecked(m_playSounds);
        connect(playSounds1, &QAction::triggered, this, &Sounds::PlaySounds1Click);
    }
    if (playerPhraseSounds1) {
        playerPhraseSounds1->setCheckable(true);
        playerPhraseSounds1->setChecked(m_playerPhraseSounds);
        connect(playerPhraseSounds1, &QAction::triggered, this, &Sounds::PlayerPhraseSounds1Click);
    }
}
