// The host's choice of computer player: Options > "Computer Player".
#include "app/Tchat.h"

#include "client/Tgamestart.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

namespace {

// The menu items, by level.
const char* itemName(BotLevel level) {
    return level == BotLevel::Strong ? "ComputerStrong1" : "ComputerClassic1";
}

} // namespace

void Tchat::buildComputerMenu(QMenu* options) {
    QMenu* menu = options->addMenu("Computer Player");
    menu->setObjectName("ComputerPlayer1");
    m_actions.insert("ComputerPlayer1", menu->menuAction());
    auto* group = new QActionGroup(this);
    for (BotLevel level : {BotLevel::Classic, BotLevel::Strong}) {
        const std::string_view title = botlevel::title(level);
        QAction* item = menu->addAction(QString::fromLatin1(title.data(), qsizetype(title.size())));
        item->setObjectName(itemName(level));
        item->setCheckable(true);
        item->setChecked(level == BotLevel::Classic);
        item->setData(int(level));
        group->addAction(item);
        m_actions.insert(itemName(level), item);
    }
    // The host's server reads the choice when the next game starts.
    connect(group, &QActionGroup::triggered, this, [this](QAction* item) {
        setComputerLevel(BotLevel(item->data().toInt()));
        saveSettings();
    });
}

BotLevel Tchat::computerLevel() const {
    return action(itemName(BotLevel::Strong))->isChecked() ? BotLevel::Strong : BotLevel::Classic;
}

void Tchat::setComputerLevel(BotLevel level) {
    for (BotLevel each : {BotLevel::Classic, BotLevel::Strong})
        action(itemName(each))->setChecked(each == level);
    if (m_windows.gamestart)
        m_windows.gamestart->showComputerLevel(level);
}
