#include "client/BoardView.h"

#include "client/BoardGeometry.h"
#include "client/EViewError.h"
#include "client/ImageList.h"
#include "client/Picture.h"
#include "client/TurnButton.h"

#include <QLabel>

namespace {
// Text on the wooden board is cream.
const QColor boardText(0xf6, 0xe9, 0xc6);

QLabel* makeLabel(QWidget* parent, const QString& name, const QRect& geometry,
                  const QString& caption, int pixelSize, Qt::Alignment alignment) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    label->setGeometry(geometry);
    // Status and winner texts carry player names: never read them as markup.
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(alignment);
    QFont font = label->font();
    font.setPixelSize(pixelSize);
    font.setBold(true);
    label->setFont(font);
    return label;
}

void setTextColour(QLabel* label, const QColor& colour) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

QString num(int value) {
    return QString::number(value);
}
} // namespace

BoardView::BoardView(QWidget* panelBoard) {
    // Behind the stock: the backdrop in the own seat's colour.
    for (int seat = 1; seat <= board::seats; ++seat) {
        auto* backdrop = new Picture(panelBoard, "image_mycolor" + num(seat), board::ownColour);
        backdrop->setPicture(ImageList::deferred("mycolor" + num(seat)));
        backdrop->hide();
        m_ownColour[seat - 1] = backdrop;
    }
    for (int marker = 1; marker <= board::markers; ++marker) {
        auto* extra = new Picture(panelBoard, "extra_" + num(marker),
                                  QRect(board::stockLeft, board::stockTop[marker - 1],
                                        board::chipWidth, board::chipHeight));
        extra->draw(ImageList::chips(), 0);
        m_extras[marker - 1] = extra;
    }

    m_gameBoard = new QWidget(panelBoard);
    m_gameBoard->setObjectName("panel_gameboard");
    m_gameBoard->setGeometry(board::gameBoard);
    auto* picture =
        new Picture(m_gameBoard, "image_board", QRect(QPoint(0, 0), board::gameBoard.size()));
    picture->setPicture(ImageList::deferred("board"));

    QLabel* title = makeLabel(m_gameBoard, "label_workingcolumns", board::workingTitle,
                              "Working Columns", 11, Qt::AlignLeft | Qt::AlignVCenter);
    setTextColour(title, boardText);
    for (int marker = 1; marker <= board::markers; ++marker) {
        QLabel* working = makeLabel(m_gameBoard, "label_working" + num(marker),
                                    board::workingLabel(marker), "", 13, Qt::AlignCenter);
        setTextColour(working, boardText);
        m_working[marker - 1] = working;
    }
    m_useAll = makeLabel(m_gameBoard, "label_useall", board::useAllLabel, "Use All Markers: OFF",
                         11, Qt::AlignRight | Qt::AlignVCenter);
    setTextColour(m_useAll, boardText);

    // Covers before chips: a cover lies beneath the marker it peeks out from.
    for (int column = board::firstColumn; column <= board::lastColumn; ++column) {
        auto* cover = new Picture(m_gameBoard, "image_cover" + num(column),
                                  QRect(board::chipLeft(column) + board::coverOffset,
                                        board::chipTop(column, 0) + board::coverOffset,
                                        board::chipWidth, board::chipHeight));
        cover->setHint(num(column));
        cover->hide();
        m_covers[column] = cover;
    }
    for (int column = board::firstColumn; column <= board::lastColumn; ++column) {
        for (int position = 0; position <= board::columnTop(column); ++position) {
            auto* chip =
                new Picture(m_gameBoard, "chip_" + num(column) + num(position),
                            QRect(board::chipLeft(column), board::chipTop(column, position),
                                  board::chipWidth, board::chipHeight));
            chip->setHint(num(column));
            m_chips[column][position] = chip;
        }
    }
    // A won column's cover lies over its places and reaches 2 pixels beyond
    // them; clicks go through to the places beneath.
    for (int column = board::firstColumn; column <= board::lastColumn; ++column) {
        const QRect places(
            QPoint(board::chipLeft(column), board::chipTop(column, board::columnTop(column))),
            QPoint(board::chipLeft(column) + board::chipWidth - 1,
                   board::chipTop(column, 0) + board::chipHeight - 1));
        auto* claim =
            new Picture(m_gameBoard, "image_claim" + num(column), places.adjusted(-2, -2, 2, 2));
        claim->setHint(num(column));
        claim->setAttribute(Qt::WA_TransparentForMouseEvents);
        claim->hide();
        m_claims[column] = claim;
    }

    m_end =
        new TurnButton(m_gameBoard, "button_end", board::endButton, TurnButton::Half::LowerLeft);
    m_end->setPicture(ImageList::deferred("end"));
    m_end->hide();
    m_roll =
        new TurnButton(m_gameBoard, "button_roll", board::rollButton, TurnButton::Half::LowerRight);
    m_roll->setPicture(ImageList::deferred("roll"));
    m_roll->hide();
    m_start = new TurnButton(m_gameBoard, "button_start", board::startButton,
                             TurnButton::Half::LowerRight);
    m_start->setPicture(ImageList::deferred("start"));

    m_winnerPanel = new Picture(m_gameBoard, "panel_winner", board::winnerPanel);
    m_winnerPanel->setPicture(ImageList::deferred("winner"));
    // The grey label is the shadow: one pixel right of and above the black one.
    const QRect text(10, 46, board::winnerPanel.width() - 20, 44);
    m_winner2 =
        makeLabel(m_winnerPanel, "label_winner2", text.translated(1, -1), "", 17, Qt::AlignCenter);
    m_winner2->setWordWrap(true);
    setTextColour(m_winner2, QColor(0x80, 0x80, 0x80));
    m_winner1 = makeLabel(m_winnerPanel, "label_winner1", text, "", 17, Qt::AlignCenter);
    m_winner1->setWordWrap(true);
    setTextColour(m_winner1, Qt::black);
    m_winnerPanel->hide();

    m_status = makeLabel(panelBoard, "label_status", board::statusLine, "Welcome to Climora", 13,
                         Qt::AlignCenter);

    // The dice come last: a raised die overlaps the board's lower edge.
    const std::array<int, board::dice> faces{5, 2, 0, 3};
    for (int index = 0; index < board::dice; ++index) {
        auto* die =
            new Picture(panelBoard, "dice_" + num(index),
                        QRect(board::diceHome[index], QSize(board::dieWidth, board::dieHeight)));
        die->setHint(num(index));
        die->draw(ImageList::dice(), faces[index]);
        die->setValue(10);
        die->setCursor(Qt::PointingHandCursor);
        m_dice[index] = die;
    }
}

void BoardView::requireChip(int column, int position) {
    if (!board::isPlace(column, position))
        throw EViewError::missingControl("chip_" + num(column) + num(position));
}

void BoardView::requireColumn(int column) {
    if (!board::isColumn(column))
        throw EViewError::missingControl("image_cover" + num(column));
}

void BoardView::requireDie(int index) {
    if (index < 0 || index >= board::dice)
        throw EViewError::missingControl("dice_" + num(index));
}

void BoardView::requireOccupant(int occupant) {
    if (occupant < 0 || occupant > 10)
        throw EViewError::missingImage("imagelist_chips", occupant);
}

Picture& BoardView::chip(int column, int position) const {
    requireChip(column, position);
    return *m_chips[column][position];
}

Picture& BoardView::cover(int column) const {
    requireColumn(column);
    return *m_covers[column];
}

Picture& BoardView::claim(int column) const {
    requireColumn(column);
    return *m_claims[column];
}

Picture& BoardView::die(int index) const {
    requireDie(index);
    return *m_dice[index];
}

Picture& BoardView::extra(int marker) const {
    if (marker < 1 || marker > board::markers)
        throw EViewError::missingControl("extra_" + num(marker));
    return *m_extras[marker - 1];
}

QLabel& BoardView::working(int marker) const {
    if (marker < 1 || marker > board::markers)
        throw EViewError::missingControl("label_working" + num(marker));
    return *m_working[marker - 1];
}

Picture* BoardView::ownColour(int seat) const {
    return seat >= 1 && seat <= board::seats ? m_ownColour[seat - 1] : nullptr;
}

void BoardView::drawChip(int column, int position, int occupant) {
    Picture& place = chip(column, position);
    requireOccupant(occupant);
    if (occupant == 0)
        place.blank();
    else
        place.draw(ImageList::chips(), occupant == 10 ? 0 : occupant);
}

void BoardView::showCover(int column, int position, int seat) {
    requireChip(column, position);
    Picture& shade = cover(column);
    // From the fixed grid, not from the controls' places, which differ while
    // the window is scaled up.
    shade.move(board::chipLeft(column) + board::coverOffset,
               board::chipTop(column, position) + board::coverOffset);
    if (seat == 0)
        shade.blank();
    else
        shade.draw(ImageList::chips(), seat);
    shade.show();
}

void BoardView::hideCovers() {
    for (int column = board::firstColumn; column <= board::lastColumn; ++column)
        m_covers[column]->hide();
}

void BoardView::showClaim(int column, int seat) {
    Picture& cover = claim(column);
    if (seat < 1 || seat > board::seats) {
        cover.blank();
        cover.hide();
        return;
    }
    const QString name = QString("claim%1_%2").arg(seat).arg(board::columnTop(column));
    cover.setPicture(ImageList::deferred(name));
    cover.setValue(seat);
    cover.show();
}

void BoardView::dieHome(int index) {
    Picture& shown = die(index);
    shown.move(board::diceHome[index]);
}

void BoardView::dieToRow(int index, int top) {
    die(index).move(board::diceRowLeft(index), top);
}

void BoardView::setStatus(const QString& text) {
    m_status->setText(text);
}
