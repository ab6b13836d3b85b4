#include "tally/Ttallylist.h"

#include "game/Seats.h"
#include "tally/TStringGrid.h"
#include "ui/Prompter.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPersistentModelIndex>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int Columns = TallyCounts::Columns;
const QString NobodyTop = QStringLiteral("Player's Tally");
const QString NobodyWins = QStringLiteral("Player Wins:");

// An empty counter cell counts as 0, and shows so.
QString shown(const QString& cell) {
    return cell.isEmpty() ? QStringLiteral("0") : cell;
}

// Labels show names of players and figures of the tally file as they are,
// never read as markup.
QLabel* plainLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QLabel* heading(const QString& text, QWidget* parent) {
    auto* label = plainLabel(text, parent);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

QLabel* figure(const QString& name, QWidget* parent) {
    auto* label = plainLabel(QStringLiteral("0"), parent);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setMinimumWidth(48);
    return label;
}

} // namespace

Ttallylist::Ttallylist(Prompter& prompter, const QString& tallyPath, QWidget* parent)
    : QWidget(parent, Qt::Window), m_prompter(prompter), m_file(tallyPath, Columns) {
    buildWindow();
    loadFile();
}

Ttallylist::~Ttallylist() {
    if (m_unsaved)
        save();
}

void Ttallylist::buildWindow() {
    setObjectName(QStringLiteral("Ttallylist"));
    setWindowTitle(QStringLiteral("Climora - Tally List"));

    stringgrid_scores = new TStringGrid(m_counts.table(), this);
    stringgrid_scores->setObjectName(QStringLiteral("stringgrid_scores"));
    stringgrid_scores->hide();

    checklist = new QListWidget(this);
    checklist->setObjectName(QStringLiteral("checklist"));
    listbox_tally = new QListWidget(this);
    listbox_tally->setObjectName(QStringLiteral("listbox_tally"));
    for (QListWidget* list : {checklist, listbox_tally}) {
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->setMinimumSize(170, 110);
    }

    auto* lists = new QGridLayout;
    lists->addWidget(heading(QStringLiteral("Players In Current Game"), this), 0, 0);
    lists->addWidget(heading(QStringLiteral("Players Being Tallied"), this), 0, 1);
    lists->addWidget(checklist, 1, 0);
    lists->addWidget(listbox_tally, 1, 1);
    lists->setHorizontalSpacing(12);

    for (int i = 1; i <= 4; ++i) {
        m_mylabels[i] = figure(QStringLiteral("mylabel_%1").arg(i), this);
        m_mylabels[i]->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }
    m_mylabels[3]->hide();
    m_mylabels[4]->hide();
    auto* mine = new QHBoxLayout;
    mine->addWidget(new QLabel(QStringLiteral("Total Games:"), this));
    mine->addWidget(m_mylabels[1]);
    mine->addSpacing(24);
    mine->addWidget(new QLabel(QStringLiteral("Your Wins"), this));
    mine->addWidget(m_mylabels[2]);
    mine->addWidget(m_mylabels[3]);
    mine->addWidget(m_mylabels[4]);
    mine->addStretch();

    auto* panel = new QFrame(this);
    panel->setFrameShape(QFrame::StyledPanel);
    label_hisnametop = heading(NobodyTop, panel);
    label_hisnametop->setObjectName(QStringLiteral("label_hisnametop"));
    label_hisnametop->setAlignment(Qt::AlignCenter);
    label_hisname = plainLabel(NobodyWins, panel);
    label_hisname->setObjectName(QStringLiteral("label_hisname"));
    for (int i = 1; i <= 8; ++i)
        m_labels[i] = figure(QStringLiteral("label_%1").arg(i), panel);
    auto* table = new QGridLayout(panel);
    table->addWidget(label_hisnametop, 0, 0, 1, 3);
    auto* total = heading(QStringLiteral("Total"), panel);
    auto* session = heading(QStringLiteral("Session"), panel);
    total->setAlignment(Qt::AlignRight);
    session->setAlignment(Qt::AlignRight);
    table->addWidget(total, 1, 1);
    table->addWidget(session, 1, 2);
    QLabel* rowNames[] = {new QLabel(QStringLiteral("Number of Games"), panel), label_hisname,
                          new QLabel(QStringLiteral("Your Wins:"), panel),
                          new QLabel(QStringLiteral("Neither Won:"), panel)};
    for (int r = 0; r < 4; ++r) {
        table->addWidget(rowNames[r], r + 2, 0);
        table->addWidget(m_labels[r + 1], r + 2, 1);
        table->addWidget(m_labels[r + 5], r + 2, 2);
    }
    table->setColumnStretch(0, 1);
    table->setHorizontalSpacing(24);

    auto* reset = new QPushButton(QStringLiteral("Reset Tally"), this);
    reset->setObjectName(QStringLiteral("button_reset"));
    auto* done = new QPushButton(QStringLiteral("Done"), this);
    done->setObjectName(QStringLiteral("button_done"));
    done->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(reset);
    buttons->addStretch();
    buttons->addWidget(done);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(lists, 1);
    layout->addLayout(mine);
    layout->addWidget(panel);
    layout->addLayout(buttons);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(10);
    resize(440, 420);

    connect(checklist, &QListWidget::itemChanged, this, &Ttallylist::checklistChanged);
    connect(listbox_tally, &QListWidget::itemChanged, this, &Ttallylist::listboxChanged);
    connect(listbox_tally, &QListWidget::itemSelectionChanged, this, &Ttallylist::showSelected);
    connect(reset, &QPushButton::clicked, this, &Ttallylist::resetTally);
    connect(done, &QPushButton::clicked, this, &QWidget::close);
}

void Ttallylist::loadFile() {
    QString error;
    if (m_file.exists() && !m_file.read(m_counts.table(), error))
        m_prompter.message(error);
    loadtally();
}

void Ttallylist::loadtally() {
    showMine();
    for (int i = 3; i <= 4; ++i)
        m_mylabels[i]->setText(shown(stringgrid_scores->cell(i, 0)));
    const QSignalBlocker block(listbox_tally);
    listbox_tally->clear();
    for (const QString& name : m_counts.followed())
        addListItem(name);
    m_counts.clearSession();
    stringgrid_scores->update();
    showNobody();
}

void Ttallylist::addListItem(const QString& name) {
    auto* item = new QListWidgetItem(name, listbox_tally);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Checked);
}

void Ttallylist::loadchecklist(int ownSeat, const QStringList& seatNames) {
    m_ownSeat = ownSeat;
    m_seatNames = seatNames;
    const QSignalBlocker block(checklist);
    checklist->clear();
    for (int seat = 1; seat <= 4 && seat <= seatNames.size(); ++seat) {
        const QString& name = seatNames[seat - 1];
        if (seat == ownSeat || name == QLatin1String(seats::waiting))
            continue;
        auto* item = new QListWidgetItem(name, checklist);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(followedIndex(name) >= 0 ? Qt::Checked : Qt::Unchecked);
    }
}

void Ttallylist::addgame(const QString& winner, int ownSeat, const QStringList& seatNames) {
    loadchecklist(ownSeat, seatNames);
    addgame(winner);
}

void Ttallylist::addgame(const QString& winner) {
    loadchecklist(m_ownSeat, m_seatNames);
    QStringList atTable;
    for (int i = 0; i < checklist->count(); ++i)
        atTable << checklist->item(i)->text();
    m_counts.addGame(winner, atTable);
    stringgrid_scores->update();
    showMine();
    showSelected();
    m_unsaved = true;
}

void Ttallylist::moverow(int row) {
    if (m_counts.removeRow(row)) {
        stringgrid_scores->update();
        m_unsaved = true;
    }
}

int Ttallylist::addit(int col, int row) {
    if (row < 0 || row >= stringgrid_scores->rowCount() || col < 0 || col >= Columns)
        return 0;
    const int value = m_counts.addit(col, row);
    stringgrid_scores->update();
    m_unsaved = true;
    return value;
}

void Ttallylist::addtomineincrease(int col) {
    const int value = addit(col, 0);
    if (col >= 1 && col <= 4)
        m_mylabels[col]->setText(QString::number(value));
}

void Ttallylist::follow(const QString& name) {
    if (!m_counts.follow(name))
        return;
    {
        const QSignalBlocker block(listbox_tally);
        addListItem(name);
    }
    stringgrid_scores->update();
    tickInChecklist(name, true);
    m_unsaved = true;
}

void Ttallylist::unfollow(int index) {
    QListWidgetItem* item = listbox_tally->item(index);
    if (!item)
        return;
    const QString name = item->text();
    if (!m_prompter.question("This will delete " + name + "'s Tally, Are you want to delete it?")) {
        const QSignalBlocker block(listbox_tally);
        item->setCheckState(Qt::Checked);
        return;
    }
    moverow(index + 1);
    {
        const QSignalBlocker block(listbox_tally);
        delete listbox_tally->takeItem(index);
    }
    if (followedIndex(name) < 0)
        tickInChecklist(name, false);
    showSelected();
}

void Ttallylist::resetTally() {
    if (!m_prompter.question(QStringLiteral("Are you sure you want to reset the Tally?")))
        return;
    for (int i = 1; i <= 4; ++i)
        m_mylabels[i]->setText(QStringLiteral("0"));
    m_counts.reset();
    stringgrid_scores->update();
    {
        const QSignalBlocker block(listbox_tally);
        listbox_tally->clear();
    }
    for (int i = 0; i < checklist->count(); ++i)
        tickInChecklist(checklist->item(i)->text(), false);
    showNobody();
    m_unsaved = true;
}

bool Ttallylist::save() {
    if (!m_unsaved)
        return true;
    if (!m_file.write(m_counts.table()))
        return false;
    m_unsaved = false;
    return true;
}

int Ttallylist::followedIndex(const QString& name) const {
    for (int i = 0; i < listbox_tally->count(); ++i)
        if (listbox_tally->item(i)->text().compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

void Ttallylist::showPlayer(int index) {
    const int row = index + 1;
    if (index < 0 || row >= stringgrid_scores->rowCount()) {
        showNobody();
        return;
    }
    for (int col = 1; col <= 8; ++col)
        m_labels[col]->setText(shown(stringgrid_scores->cell(col, row)));
    const QString name = stringgrid_scores->cell(0, row);
    label_hisname->setText(name + " Wins:");
    label_hisnametop->setText(name + "'s Tally");
}

void Ttallylist::showSelected() {
    const QList<QListWidgetItem*> selected = listbox_tally->selectedItems();
    if (selected.isEmpty())
        showNobody();
    else
        showPlayer(listbox_tally->row(selected.first()));
}

void Ttallylist::showNobody() {
    for (int col = 1; col <= 8; ++col)
        m_labels[col]->setText(QStringLiteral("0"));
    label_hisname->setText(NobodyWins);
    label_hisnametop->setText(NobodyTop);
}

void Ttallylist::showMine() {
    for (int i = 1; i <= 2; ++i)
        m_mylabels[i]->setText(shown(stringgrid_scores->cell(i, 0)));
}

void Ttallylist::tickInChecklist(const QString& name, bool ticked) {
    const QSignalBlocker block(checklist);
    for (int i = 0; i < checklist->count(); ++i)
        if (checklist->item(i)->text().compare(name, Qt::CaseInsensitive) == 0)
            checklist->item(i)->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
}

void Ttallylist::checklistChanged(QListWidgetItem* item) {
    if (item->checkState() == Qt::Checked)
        follow(item->text());
}

void Ttallylist::listboxChanged(QListWidgetItem* item) {
    if (item->checkState() != Qt::Unchecked)
        return;
    // Asked once the list has finished with the click: a Yes deletes the
    // item, which must not happen inside the list's own change signal.
    const QPersistentModelIndex index(listbox_tally->indexFromItem(item));
    QTimer::singleShot(0, this, [this, index]() {
        if (index.isValid() && listbox_tally->item(index.row())->checkState() == Qt::Unchecked)
            unfollow(index.row());
    });
}
