#pragma once

#include "tally/TallyCounts.h"
#include "tally/TallyStore.h"

#include <QStringList>
#include <QWidget>

class Prompter;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class TStringGrid;

// The tally window: shows the finished games the local player took part in
// and won, and the results against the players the local player follows,
// and lets the player choose whom to follow.
//
// The counters (TallyCounts) are shown in the hidden grid stringgrid_scores;
// item i of listbox_tally is row i + 1 of it. The tally file (TallyStore) is
// read when the window is made and written by save(), or by the destructor
// when save() was not called since the last change.
class Ttallylist : public QWidget {
    Q_OBJECT
public:
    // The largest grid text a tally file may hold.
    static constexpr qint64 MaxTallyText = TallyStore::MaxTallyText;

    // Reads the tally file; an error while reading it is shown through the
    // prompter and the tally goes on empty.
    Ttallylist(Prompter& prompter, const QString& tallyPath, QWidget* parent = nullptr);
    ~Ttallylist() override;

    // Rebuilds "Players In Current Game" from the seat labels of seats 1 to
    // 4 (seatNames[0] is seat 1), leaving out the own seat and "<Waiting>".
    void loadchecklist(int ownSeat, const QStringList& seatNames);
    // Records one finished game against the seats of the last
    // loadchecklist. winner is the winner's name as shown in the seat label,
    // or "addtomine" when the local player won.
    void addgame(const QString& winner);
    // The same after loadchecklist(ownSeat, seatNames).
    void addgame(const QString& winner, int ownSeat, const QStringList& seatNames);

    // Shows row 0's counters and lists the followed players of the grid;
    // clears the per-run columns.
    void loadtally();
    // Deletes grid row `row` (1 or more), moving later rows up by one.
    void moverow(int row);
    // Adds 1 to a cell (empty or not a number counts as 0); returns the new
    // value.
    int addit(int col, int row);
    // addit(col, 0), shown in mylabel_<col>.
    void addtomineincrease(int col);

    // Follows a player: appends him to listbox_tally and the grid, unless he
    // is followed already (names match without regard to letter case).
    void follow(const QString& name);
    // Asks whether to stop following item `index` of listbox_tally; Yes
    // deletes his row and item, No ticks the item again.
    void unfollow(int index);
    // Asks whether to reset the whole tally.
    void resetTally();

    // Writes the tally file; does nothing when nothing changed since the last
    // save. Returns false when the file could not be written, which leaves
    // the previous tally file as it was. A tally file that could not be read
    // at start is first kept beside it (its name + ".damaged"), so that
    // saving never destroys what it held.
    bool save();

    TStringGrid& grid() const { return *stringgrid_scores; }

private:
    void buildWindow();
    void loadFile();
    int followedIndex(const QString& name) const;
    void addListItem(const QString& name);
    void showSelected();
    void showPlayer(int index);
    void showNobody();
    void showMine();
    void tickInChecklist(const QString& name, bool ticked);
    void checklistChanged(QListWidgetItem* item);
    void listboxChanged(QListWidgetItem* item);

    Prompter& m_prompter;
    TallyCounts m_counts;
    TallyStore m_file;
    bool m_unsaved = true;
    int m_ownSeat = 0;
    QStringList m_seatNames;

    TStringGrid* stringgrid_scores = nullptr;
    QListWidget* checklist = nullptr;
    QListWidget* listbox_tally = nullptr;
    QLabel* m_labels[9] = {};   // label_1 .. label_8
    QLabel* m_mylabels[5] = {}; // mylabel_1 .. mylabel_4
    QLabel* label_hisname = nullptr;
    QLabel* label_hisnametop = nullptr;
};
