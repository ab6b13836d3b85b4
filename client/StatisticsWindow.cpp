#include "client/StatisticsWindow.h"

#include "client/DiceStats.h"
#include "client/FaceChart.h"
#include "client/StatsStore.h"
#include "game/DiceFairness.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {
QLabel* plainLabel(const QString& objectName, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(objectName);
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

QString signedNumber(double value) {
    // "+0.0" rather than "-0.0" for a luck that rounds to nothing.
    const QString text = QString::number(value, 'f', 1);
    return value >= 0.05 ? "+" + text : text == "-0.0" ? QString("0.0") : text;
}
} // namespace

StatisticsWindow::StatisticsWindow(DiceStats& stats, StatsStore& store, QWidget* parent)
    : QWidget(parent, Qt::Window), m_stats(stats), m_store(store) {
    setObjectName("StatisticsWindow");
    setWindowTitle("Statistics");
    resize(620, 340);

    m_scope = new QComboBox(this);
    m_scope->setObjectName("combo_scope");
    m_scope->addItems({"This game", "All games"});
    m_who = new QComboBox(this);
    m_who->setObjectName("combo_who");
    m_who->addItem("Table");
    m_who->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    auto* choices = new QHBoxLayout;
    choices->addWidget(m_scope);
    choices->addWidget(m_who);
    choices->addStretch();

    m_chart = new FaceChart(this);
    m_faces = plainLabel("label_faces", this);
    m_faces->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_faces->setMinimumWidth(m_faces->fontMetrics().horizontalAdvance("6: 000000000 (100.0%)"));
    auto* middle = new QHBoxLayout;
    middle->addWidget(m_chart, 1);
    middle->addWidget(m_faces);

    m_fairness = plainLabel("label_fairness", this);
    m_busts = plainLabel("label_busts", this);
    m_columns = plainLabel("label_columns", this);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(choices);
    layout->addLayout(middle, 1);
    layout->addWidget(m_fairness);
    layout->addWidget(m_busts);
    layout->addWidget(m_columns);

    connect(m_scope, &QComboBox::currentIndexChanged, this, &StatisticsWindow::refresh);
    connect(m_who, &QComboBox::currentIndexChanged, this, &StatisticsWindow::refresh);
    const auto follow = [this] {
        if (isVisible())
            refresh();
    };
    connect(&stats, &DiceStats::changed, this, follow);
    connect(&store, &StatsStore::changed, this, follow);
}

void StatisticsWindow::showEvent(QShowEvent* event) {
    refresh();
    QWidget::showEvent(event);
}

void StatisticsWindow::refresh() {
    const bool all = m_scope->currentIndex() == 1;
    DiceRecord record = m_stats.game();
    if (all) {
        record = m_store.totals();
        // The game under way counts as well; a finished one is in the totals.
        if (m_stats.counting())
            record.merge(m_stats.game());
    }

    QStringList who{"Table"};
    for (const DiceRecord::Named& named : record.names())
        who << named.name;
    const QString chosen = m_who->currentIndex() > 0 ? m_who->currentText() : QString();
    QStringList shown;
    for (int i = 0; i < m_who->count(); ++i)
        shown << m_who->itemText(i);
    if (shown != who) {
        const QSignalBlocker quiet(m_who);
        m_who->clear();
        m_who->addItems(who);
        m_who->setCurrentIndex(std::max(0, int(who.indexOf(chosen))));
    }
    const DiceCounts* counts =
        m_who->currentIndex() > 0 ? record.find(m_who->currentText()) : nullptr;
    showCounts(counts ? *counts : record.table(), all, record.games());
}

void StatisticsWindow::showCounts(const DiceCounts& counts, bool all, std::uint64_t games) {
    m_chart->setCounts(counts.faces);

    const double faces = 4.0 * double(counts.rolls);
    QStringList lines;
    for (int face = 0; face < 6; ++face) {
        const double share = faces > 0 ? 100.0 * double(counts.faces[face]) / faces : 0;
        lines << QString("%1: %2 (%3%)")
                     .arg(face + 1)
                     .arg(quint64(counts.faces[face]))
                     .arg(share, 0, 'f', 1);
    }
    lines << QString("Expected: %1 each").arg(faces / 6, 0, 'f', 1);
    lines << QString("Rolls: %1").arg(quint64(counts.rolls));
    if (all)
        lines << QString("Games: %1").arg(quint64(games));
    m_faces->setText(lines.join('\n'));

    if (counts.rolls == 0) {
        m_fairness->setText("Fairness: no rolls yet");
    } else {
        const DiceFairness fairness(counts.faces);
        m_fairness->setText(QString("Fairness: %1 (chi-square %2, p-value %3)")
                                .arg(QString::fromStdString(fairness.verdict()))
                                .arg(fairness.chiSquare(), 0, 'f', 2)
                                .arg(fairness.pValue(), 0, 'g', 3));
    }
    m_busts->setText(QString("Busts: %1, expected %2; luck index %3\n(the luck index is expected "
                             "busts minus busts: above 0, fewer busts than the odds gave)")
                         .arg(quint64(counts.busts))
                         .arg(counts.expectedBusts(), 0, 'f', 1)
                         .arg(signedNumber(counts.luck())));
    m_columns->setText(QString("Columns completed: %1").arg(quint64(counts.columns)));
}

QString StatisticsWindow::figuresText() const {
    return QStringList{m_faces->text(), m_fairness->text(), m_busts->text(), m_columns->text()}
        .join('\n');
}
