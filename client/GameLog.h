#pragma once

#include <QAbstractListModel>
#include <QString>
#include <QStringList>

#include <array>
#include <deque>

class GameMessages;
class TableModel;
namespace msg {
struct Rolldice;
struct PlacechipResult;
struct EndturnResult;
struct Gamestats;
} // namespace msg

// The game as this client saw it, one plain-text line per event: the game's
// start, each turn, roll, placement and turn's end, completed columns,
// players joining, leaving or just watching, and the winner. The game's
// events come from the message handlers once the model has taken them; the
// seats' comings and goings are read from the model's seat changes.
//
// Only the newest maxLines lines are kept; the oldest go first. The lines
// are a list model, one row a line, that the log's window shows as it is.
class GameLog : public QAbstractListModel {
    Q_OBJECT
public:
    static constexpr int maxLines = 10000;

    explicit GameLog(const TableModel& model, QObject* parent = nullptr);
    // Logs the game's events as these handlers apply them to the model.
    void follow(const GameMessages& messages);

    // Adds a line (dropping the oldest beyond the bound) and tells the views.
    void append(const QString& line);
    int lineCount() const { return static_cast<int>(m_lines.size()); }
    QStringList lines() const;
    // The lines, each ended by a line feed.
    QString text() const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

signals:
    void lineAdded(const QString& line);

private:
    struct SeenSeat {
        QString name;
        bool present = false;
        bool watching = false;
    };

    void gameStarted(const QString& starter);
    void turnBegan(int seat);
    void diceRolled(const msg::Rolldice& roll);
    void chipPlaced(const msg::PlacechipResult& placement);
    void turnEnded(const msg::EndturnResult& end);
    void gameWon(const QString& name);
    void joinedRunningGame(const msg::Gamestats& stats);
    void seatChanged(int seat);
    // True once the own seat's arrival has been seen.
    bool ownArrived() const;
    QString name(int seat) const;
    // The seat as the subject of a line: "You" for the own seat.
    QString who(int seat) const;
    // The seat's possessive: "Your" for the own seat, else "Ann's".
    QString whose(int seat) const;

    const TableModel& m_model;
    std::array<SeenSeat, 10> m_seen{};
    std::deque<QString> m_lines;
    // The dice of the current roll not placed yet, and their rolled faces.
    std::array<bool, 4> m_inPlay{};
    std::array<int, 4> m_faces{};
};
