#include "net/FoundGamesModel.h"

#include "net/GameBrowser.h"

#include <algorithm>

FoundGamesModel::FoundGamesModel(GameBrowser& browser, QObject* parent)
    : QAbstractListModel(parent) {
    setGames(browser.games());
    connect(&browser, &GameBrowser::gamesChanged, this,
            [this, &browser] { setGames(browser.games()); });
}

int FoundGamesModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_games.size());
}

QString FoundGamesModel::displayText(const FoundGame& game) {
    if (game.players < 0)
        return game.name;
    return game.players == 1 ? tr("%1 (1 player)").arg(game.name)
                             : tr("%1 (%2 players)").arg(game.name).arg(game.players);
}

QVariant FoundGamesModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const FoundGame& game = m_games.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return displayText(game);
    case Qt::ToolTipRole:
        return game.address.isEmpty() ? game.hostName
                                      : QStringLiteral("%1 (%2)").arg(game.hostName, game.address);
    case NameRole:
        return game.name;
    case HostNameRole:
        return game.hostName;
    case AddressRole:
        return game.address;
    case PortRole:
        return int(game.port);
    case PlayersRole:
        return game.players;
    case IdRole:
        return game.id;
    default:
        return {};
    }
}

QHash<int, QByteArray> FoundGamesModel::roleNames() const {
    QHash<int, QByteArray> names = QAbstractListModel::roleNames();
    names.insert(NameRole, "name");
    names.insert(HostNameRole, "hostName");
    names.insert(AddressRole, "address");
    names.insert(PortRole, "port");
    names.insert(PlayersRole, "players");
    names.insert(IdRole, "id");
    return names;
}

FoundGame FoundGamesModel::game(int row) const {
    return row >= 0 && row < m_games.size() ? m_games.at(row) : FoundGame{};
}

int FoundGamesModel::rowOf(const QString& id, int from) const {
    for (int row = from; row < m_games.size(); ++row)
        if (m_games.at(row).id == id)
            return row;
    return -1;
}

void FoundGamesModel::setGames(const QList<FoundGame>& games) {
    // Games no longer listed go first, from the bottom up.
    for (int row = int(m_games.size()) - 1; row >= 0; --row) {
        const QString& id = m_games.at(row).id;
        const bool kept = std::any_of(games.begin(), games.end(),
                                      [&id](const FoundGame& game) { return game.id == id; });
        if (kept)
            continue;
        beginRemoveRows({}, row, row);
        m_games.removeAt(row);
        endRemoveRows();
    }
    // Then row by row: the game in its place, moved up from below, or new.
    for (int row = 0; row < games.size(); ++row) {
        const FoundGame& wanted = games.at(row);
        const int at = rowOf(wanted.id, row);
        if (at == row) {
            if (!(m_games.at(row) == wanted)) {
                m_games[row] = wanted;
                emit dataChanged(index(row), index(row));
            }
            continue;
        }
        if (at > row) {
            beginMoveRows({}, at, at, {}, row);
            m_games.move(at, row);
            endMoveRows();
            if (!(m_games.at(row) == wanted)) {
                m_games[row] = wanted;
                emit dataChanged(index(row), index(row));
            }
            continue;
        }
        beginInsertRows({}, row, row);
        m_games.insert(row, wanted);
        endInsertRows();
    }
}
