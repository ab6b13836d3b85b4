#pragma once

#include "net/FoundGame.h"

#include <QAbstractListModel>

class GameBrowser;

// The browser's list of games for a list view: one row a game, newest first.
// Rows are inserted, moved and removed as the list changes (never reset), so
// a selected game stays selected while others come, go or change.
// The display text is the game's name and, when known, its player count:
// plain text, to be shown as such.
class FoundGamesModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        NameRole = Qt::UserRole + 1,
        HostNameRole,
        AddressRole,
        PortRole,
        PlayersRole, // -1 when unknown
        IdRole,
    };

    explicit FoundGamesModel(GameBrowser& browser, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QHash<int, QByteArray> roleNames() const override;

    // The game of a row (for joining on a double-click); an empty one for a bad row.
    FoundGame game(int row) const;

    // The display text of a game.
    static QString displayText(const FoundGame& game);

    // Brings the rows to the list given, keeping each game's row identity.
    void setGames(const QList<FoundGame>& games);

private:
    int rowOf(const QString& id, int from) const;

    QList<FoundGame> m_games;
};
