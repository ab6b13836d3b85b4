#pragma once

#include <QObject>
#include <QString>

#include <array>

class QLabel;
class QPoint;
class QWidget;
class Picture;
class TableModel;

// The seat table on the right of the board panel: the logo, and for each of
// the four playing seats a colour swatch, the just-watching eyes, the name
// label and the score label, with the turn arrow beside the seat to play.
// It shows the table model's seats: names, scores, the eyes of a
// just-watching seat and the turn arrow. Names come from peers and are
// always shown as plain text.
class SeatsView : public QObject {
    Q_OBJECT
public:
    SeatsView(QWidget* panelBoard, TableModel& model);

    // The controls of a seat 1 to 4; null for any other seat.
    QLabel* nameLabel(int seat) const;
    QLabel* scoreLabel(int seat) const;
    Picture* eyes(int seat) const;
    Picture* swatch(int seat) const;
    Picture* turnArrow() const { return m_turn; }
    Picture* logo() const { return m_logo; }

signals:
    void logoClicked();
    // A right click on a seat's name label (onName) or score label asks for
    // the seat menu.
    void seatMenuRequested(int seat, bool onName, const QPoint& globalPos);

private:
    void showSeat(int seat);
    void showTurn();

    TableModel& m_model;

    std::array<QLabel*, 4> m_names{};
    std::array<QLabel*, 4> m_scores{};
    std::array<Picture*, 4> m_eyes{};
    std::array<Picture*, 4> m_swatches{};
    Picture* m_turn = nullptr;
    Picture* m_logo = nullptr;
};
