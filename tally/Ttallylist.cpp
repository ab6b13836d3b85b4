#include "tally/Ttallylist.h"

#include "tally/EGridException.h"
#include "tally/ELzrw1Exception.h"
#include "tally/TStringGrid.h"
#include "ui/Prompter.h"

#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPersistentModelIndex>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>

#include <climits>

namespace {

constexpr int Columns = 9;
const QString Mine = QStringLiteral("addtomine");
const QString Waiting = QStringLiteral("<Waiting>");
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
    : QWidget(parent, Qt::Window), m_prompter(prompter), m_tallyPath(tallyPath) {
    doit.CompressMode = TCompressMode::Fast;
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

    stringgrid_scores = new TStringGrid(this);
    stringgrid_scores->setObjectName(QStringLiteral("stringgrid_scores"));
    stringgrid_scores->setColCount(Columns);
    stringgrid_scores->setRowCount(1);
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
    connect(listbox_tally, &QListWidget::itemSelectionChanged, this, [this]() {
        const QList<QListWidgetItem*> selected = listbox_tally->selectedItems();
        if (selected.isEmpty())
            showNobody();
        else
            showPlayer(listbox_tally->row(selected.first()));
    });
    connect(reset, &QPushButton::clicked, this, &Ttallylist::resetTally);
    connect(done, &QPushButton::clicked, this, &QWidget::close);
}

void Ttallylist::loadFile() {
    for (int col = 0; col < Columns; ++col)
        stringgrid_scores->setCell(col, 0, QStringLiteral("0"));
    if (m_tallyPath.isEmpty() || !QFile::exists(m_tallyPath)) {
        loadtally();
        return;
    }
    // The grid text is unpacked into a private folder of its own, never into
    // a file of the user's, and removed with it.
    const QTemporaryDir work;
    try {
        if (!work.isValid())
            throw EGridException("no temporary folder could be made");
        const QString text = work.filePath(QStringLiteral("temp.txt"));
        doit.InputFile = m_tallyPath;
        doit.OutputFile = text;
        doit.MaxOriginalSize = MaxTallyText;
        doit.Decompress();
        TStringGrid loaded;
        loaded.LoadFromFile(text);
        if (loaded.colCount() != Columns)
            throw EGridException(
                QString("it holds %1 columns instead of %2").arg(loaded.colCount()).arg(Columns));
        stringgrid_scores->setRowCount(loaded.rowCount());
        for (int row = 0; row < loaded.rowCount(); ++row)
            for (int col = 0; col < Columns; ++col)
                stringgrid_scores->setCell(col, row, loaded.cell(col, row));
    } catch (const ELzrw1Exception& e) {
        m_unreadable = true;
        m_prompter.message(e.text());
    } catch (const EGridException& e) {
        m_unreadable = true;
        m_prompter.message(
            QString("The tally file %1 could not be read: %2.").arg(m_tallyPath, e.text()));
    }
    loadtally();
}

void Ttallylist::loadtally() {
    showMine();
    for (int i = 3; i <= 4; ++i)
        m_mylabels[i]->setText(shown(stringgrid_scores->cell(i, 0)));
    const QSignalBlocker block(listbox_tally);
    listbox_tally->clear();
    for (int row = 1; row < stringgrid_scores->rowCount(); ++row) {
        auto* item = new QListWidgetItem(stringgrid_scores->cell(0, row), listbox_tally);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
        for (int col = 5; col <= 8; ++col)
            stringgrid_scores->setCell(col, row, QStringLiteral("0"));
    }
    showNobody();
}

void Ttallylist::loadchecklist(int ownSeat, const QStringList& seatNames) {
    m_ownSeat = ownSeat;
    m_seatNames = seatNames;
    const QSignalBlocker block(checklist);
    checklist->clear();
    for (int seat = 1; seat <= 4 && seat <= seatNames.size(); ++seat) {
        const QString& name = seatNames[seat - 1];
        if (seat == ownSeat || name == Waiting)
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
    addit(1, 0);
    if (winner == Mine)
        addit(2, 0);
    showMine();
    for (int i = 0; i < checklist->count(); ++i) {
        const int index = followedIndex(checklist->item(i)->text());
        if (index < 0)
            continue;
        const int row = index + 1;
        for (int col = 1; col <= 8; ++col)
            if (stringgrid_scores->cell(col, row).isEmpty())
                stringgrid_scores->setCell(col, row, QStringLiteral("0"));
        addit(1, row);
        addit(5, row);
        if (stringgrid_scores->cell(0, row) == winner) {
            addit(2, row);
            addit(6, row);
        } else if (winner == Mine) {
            addit(3, row);
            addit(7, row);
        } else {
            addit(4, row);
            addit(8, row);
        }
    }
    const QList<QListWidgetItem*> selected = listbox_tally->selectedItems();
    if (!selected.isEmpty())
        showPlayer(listbox_tally->row(selected.first()));
    m_unsaved = true;
}

void Ttallylist::moverow(int row) {
    if (row < 1 || row >= stringgrid_scores->rowCount())
        return;
    stringgrid_scores->deleteRow(row);
    m_unsaved = true;
}

int Ttallylist::addit(int col, int row) {
    if (row < 0 || row >= stringgrid_scores->rowCount() || col < 0 || col >= Columns)
        return 0;
    bool ok = false;
    int value = stringgrid_scores->cell(col, row).trimmed().toInt(&ok);
    if (!ok)
        value = 0;
    if (value < INT_MAX)
        ++value;
    stringgrid_scores->setCell(col, row, QString::number(value));
    m_unsaved = true;
    return value;
}

void Ttallylist::addtomineincrease(int col) {
    const int value = addit(col, 0);
    if (col >= 1 && col <= 4)
        m_mylabels[col]->setText(QString::number(value));
}

void Ttallylist::follow(const QString& name) {
    if (followedIndex(name) >= 0)
        return;
    {
        const QSignalBlocker block(listbox_tally);
        auto* item = new QListWidgetItem(name, listbox_tally);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
    }
    const int row = stringgrid_scores->rowCount();
    stringgrid_scores->setRowCount(row + 1);
    stringgrid_scores->setCell(0, row, name);
    for (int col = 1; col < Columns; ++col)
        stringgrid_scores->setCell(col, row, QStringLiteral("0"));
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
    const QList<QListWidgetItem*> selected = listbox_tally->selectedItems();
    if (selected.isEmpty())
        showNobody();
    else
        showPlayer(listbox_tally->row(selected.first()));
}

void Ttallylist::resetTally() {
    if (!m_prompter.question(QStringLiteral("Are you sure you want to reset the Tally?")))
        return;
    for (int i = 1; i <= 4; ++i) {
        m_mylabels[i]->setText(QStringLiteral("0"));
        stringgrid_scores->setCell(i, 0, QStringLiteral("0"));
    }
    if (stringgrid_scores->rowCount() > 1)
        for (int col = 0; col < Columns; ++col)
            stringgrid_scores->setCell(col, 0, QString());
    {
        const QSignalBlocker block(listbox_tally);
        listbox_tally->clear();
    }
    stringgrid_scores->setRowCount(1);
    for (int i = 0; i < checklist->count(); ++i)
        tickInChecklist(checklist->item(i)->text(), false);
    showNobody();
    m_unsaved = true;
}

bool Ttallylist::save() {
    if (!m_unsaved)
        return true;
    if (m_tallyPath.isEmpty())
        return false;
    const QTemporaryDir work;
    if (!work.isValid() || !keepUnreadableFile())
        return false;
    try {
        const QString text = work.filePath(QStringLiteral("temp.txt"));
        stringgrid_scores->SaveToFile(text);
        // A table the next start would refuse is not written over a good one.
        if (QFileInfo(text).size() > MaxTallyText)
            return false;
        // The container is written beside the tally file and renamed over it
        // only when complete, so a failed save keeps the previous tally.
        doit.InputFile = text;
        doit.OutputFile = m_tallyPath;
        doit.Compress();
    } catch (const ELzrw1Exception&) {
        return false;
    } catch (const EGridException&) {
        return false;
    }
    m_unsaved = false;
    return true;
}

// A tally file that could not be read may be only slightly damaged, or
// written by a later version: it holds the player's history, so it is
// copied aside before the first save replaces it. False when no copy could
// be made; the file then stays and nothing is written over it.
bool Ttallylist::keepUnreadableFile() {
    if (!m_unreadable)
        return true;
    if (!QFile::exists(m_tallyPath)) {
        m_unreadable = false;
        return true;
    }
    const QString kept = m_tallyPath + QStringLiteral(".damaged");
    for (int n = 1; n <= 9; ++n) {
        const QString name = n == 1 ? kept : kept + QString::number(n);
        if (!QFile::exists(name) && QFile::copy(m_tallyPath, name)) {
            m_unreadable = false;
            return true;
        }
    }
    return false;
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
