#pragma once

#include <QObject>
#include <QString>

#include <array>

class QLabel;
class QWidget;
class Picture;

// The seat table on the right of the board panel: the logo, and for each of
// the four playing seats a colour swatch, the just-watching eyes, the name
// label and the score label, with the turn arrow beside the seat to play.
// Names come from peers and are always shown as plain text.
class SeatsView : public QObject {
    Q_OBJECT
public:
    static constexpr char waiting[] = "<Waiting>";

    explicit SeatsView(QWidget* panelBoard);

    // The controls of a seat 1 to 4; null for any other seat.
    QLabel* nameLabel(int seat) const;
    QLabel* scoreLabel(int seat) const;
    Picture* eyes(int seat) const;
    Picture* swatch(int seat) const;
    Picture* turnArrow() const { return m_turn; }
    Picture* logo() const { return m_logo; }

    // Like nameLabel and scoreLabel, but a seat without a label raises
    // EViewError.
    QLabel& name(int seat) const;
    QLabel& score(int seat) const;
    // The computer player's name that plays the seat when no person does
    // (the label's hint): "Klot", "Klick", "Kling"; empty for seat 1.
    static QString computerName(int seat);

    // Moves the turn arrow to the seat's row and shows it.
    void moveTurnArrow(int seat);

signals:
    void logoClicked();

private:
    static void requireSeat(int seat, const char* prefix);

    std::array<QLabel*, 4> m_names{};
    std::array<QLabel*, 4> m_scores{};
    std::array<Picture*, 4> m_eyes{};
    std::array<Picture*, 4> m_swatches{};
    Picture* m_turn = nullptr;
    Picture* m_logo = nullptr;
};
