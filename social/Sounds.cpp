#include "social/Sounds.h"

#include "client/ClientServices.h"
#include "protocol/Cp1252.h"
#include "social/ChatterSounds.h"
#include "social/SoundOutput.h"

#include <QAction>
#include <QVariant>
#include <QWidget>

Sounds::Sounds(SoundOutput& output, ClientServices& services, QWidget* board, QObject* parent)
    : QObject(parent), m_output(output), m_services(services), m_board(board) {}

void Sounds::playsounds(const QString& name) {
    if (m_playSounds)
        m_output.play(name);
}

void Sounds::playasound(const QByteArray& args) {
    const QString text = cp1252::toUnicode(args);
    const qsizetype first = text.indexOf(QLatin1Char('+'));
    const QString seat = first < 0 ? text : text.left(first);
    QString name = first < 0 ? QString() : text.mid(first + 1);
    const qsizetype second = name.indexOf(QLatin1Char('+'));
    if (second >= 0)
        name.truncate(second);

    if (m_playerPhraseSounds) {
        m_output.play(name);
        return;
    }
    // Announced instead: only for a seat at the table and a sound of the menu.
    const QWidget* label =
        m_board ? m_board->findChild<QWidget*>("label_playername" + seat) : nullptr;
    const int sound = ChatterSounds::number(name);
    if (!label || sound == 0)
        return;
    m_services.systemLine(label->property("text").toString() + ": <Chatter Sound> " +
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
    m_services.saveSettings();
}

void Sounds::PlayerPhraseSounds1Click() {
    setPlayerPhraseSounds(!m_playerPhraseSounds);
    m_services.saveSettings();
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
