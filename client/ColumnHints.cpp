#include "client/ColumnHints.h"

#include "client/BoardGeometry.h"
#include "client/BoardView.h"
#include "client/RulesGame.h"
#include "client/TableModel.h"
#include "game/Game.h"

#include <QFrame>
#include <QLabel>

namespace {
// The frame lies this far outside the column's chip places.
constexpr int frameMargin = 4;
constexpr int frameWidth = 3;
// Beside the dice row, left of the first die and under the marker stock.
constexpr QRect sumPlace{0, 446, 56, 44};

QRect columnFrame(int column) {
    const int top = board::chipTop(column, board::columnTop(column));
    const int bottom = board::chipTop(column, 0) + board::chipHeight;
    return QRect(board::chipLeft(column), top, board::chipWidth, bottom - top)
        .adjusted(-frameMargin, -frameMargin, frameMargin, frameMargin);
}
} // namespace

ColumnHints::ColumnHints(const TableModel& model, BoardView& view, QObject* parent)
    : QObject(parent), m_model(model) {
    QWidget* gameBoard = view.gameBoard();
    for (int column = board::firstColumn; column <= board::lastColumn; ++column) {
        auto* frame = new QFrame(gameBoard);
        frame->setObjectName("hint_column" + QString::number(column));
        frame->setFrameStyle(QFrame::Box | QFrame::Plain);
        frame->setLineWidth(frameWidth);
        QPalette colours = frame->palette();
        colours.setColor(QPalette::WindowText, Qt::white);
        frame->setPalette(colours);
        frame->setGeometry(columnFrame(column));
        // Only a picture: clicks reach the chip places beneath.
        frame->setAttribute(Qt::WA_TransparentForMouseEvents);
        frame->setFocusPolicy(Qt::NoFocus);
        frame->hide();
        m_frames[size_t(column)] = frame;
    }

    m_sum = new QLabel(gameBoard->parentWidget());
    m_sum->setObjectName("label_sum");
    m_sum->setGeometry(sumPlace);
    m_sum->setTextFormat(Qt::PlainText);
    m_sum->setAlignment(Qt::AlignCenter);
    m_sum->setWordWrap(true);
    QFont font = m_sum->font();
    font.setPixelSize(15);
    font.setBold(true);
    m_sum->setFont(font);
    m_sum->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_sum->hide();

    for (auto signal :
         {&TableModel::diceChanged, &TableModel::turnChanged, &TableModel::phaseChanged,
          &TableModel::markersChanged, &TableModel::boardReset, &TableModel::ownSeatChanged})
        connect(&model, signal, this, &ColumnHints::refresh);
    connect(&model, &TableModel::cellChanged, this, &ColumnHints::refresh);
}

int ColumnHints::selectedSum(const TableModel& model) {
    const int a = model.slotA();
    const int b = model.slotB();
    if (a == TableModel::noDie || b == TableModel::noDie)
        return 0;
    return model.die(a).value + model.die(b).value + 2;
}

QList<int> ColumnHints::columnsFor(const TableModel& model) {
    if (!model.inputAccepted())
        return {};
    const int column = selectedSum(model);
    if (!board::isColumn(column))
        return {};
    // The board as the client knows it, for the rules to judge.
    if (rulesGame(model).reach(model.ownSeat(), column) == Game::notPlayable)
        return {};
    return {column};
}

QList<int> ColumnHints::highlighted() const {
    QList<int> columns;
    for (int column = board::firstColumn; column <= board::lastColumn; ++column)
        if (!m_frames[size_t(column)]->isHidden())
            columns << column;
    return columns;
}

QFrame* ColumnHints::frame(int column) const {
    return board::isColumn(column) ? m_frames[size_t(column)] : nullptr;
}

void ColumnHints::refresh() {
    const int sum = m_model.inputAccepted() ? selectedSum(m_model) : 0;
    m_sum->setText(sum != 0 ? QString("Sum %1").arg(sum) : QString());
    m_sum->setVisible(sum != 0);
    const QList<int> columns = columnsFor(m_model);
    for (int column = board::firstColumn; column <= board::lastColumn; ++column) {
        QFrame* frame = m_frames[size_t(column)];
        const bool on = columns.contains(column);
        frame->setVisible(on);
        if (on)
            frame->raise();
    }
}
