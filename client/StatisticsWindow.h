#pragma once

#include <QWidget>

#include <cstdint>

struct DiceCounts;
class DiceStats;
class FaceChart;
class QComboBox;
class QLabel;
class StatsStore;

// The dice statistics in a window of their own: for this game or for all
// games kept, for the table or one player, a chart of the faces against the
// expected sixth with the numbers beside it, the fairness verdict, the busts
// against the number the odds expected, and the columns completed. Everything
// is plain text; it follows the game while it is open. The kept games are
// read the first time "All games" is chosen.
class StatisticsWindow : public QWidget {
    Q_OBJECT
public:
    StatisticsWindow(DiceStats& stats, StatsStore& store, QWidget* parent = nullptr);

    QComboBox* scopeBox() const { return m_scope; }
    QComboBox* whoBox() const { return m_who; }
    FaceChart* chart() const { return m_chart; }
    // The figures beside the chart, one line each.
    QString figuresText() const;

    // Shows the figures of the chosen games and player as they are now.
    void refresh();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showCounts(const DiceCounts& counts, bool all, std::uint64_t games);

    DiceStats& m_stats;
    StatsStore& m_store;
    QComboBox* m_scope;
    QComboBox* m_who;
    FaceChart* m_chart;
    QLabel* m_faces;
    QLabel* m_fairness;
    QLabel* m_busts;
    QLabel* m_columns;
};
