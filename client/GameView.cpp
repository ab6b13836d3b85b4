#include "client/GameView.h"

#include "client/BoardGeometry.h"
#include "client/ClientState.h"
#include "client/ImageList.h"
#include "client/Picture.h"
#include "client/SeatsView.h"
#include "client/TableModel.h"
#include "client/TurnButton.h"

#include <QLabel>

GameView::GameView(QWidget* panelBoard, const Selection::Needs& needs, TableModel& model)
    : QObject(panelBoard), m_state(needs.state), m_model(model), m_board(panelBoard),
      m_seats(new SeatsView(panelBoard, model)), m_selection(needs, model, m_board, this) {
    connect(m_seats, &SeatsView::logoClicked, this, &GameView::logoClicked);

    // Every place of a column carries the column as its hint, so a click
    // anywhere in the column counts; so does the peeking edge of a cover.
    for (int column = board::firstColumn; column <= board::lastColumn; ++column) {
        auto onClick = [this, column] { m_selection.chip_711Click(column); };
        for (int position = 0; position <= board::columnTop(column); ++position)
            connect(&m_board.chip(column, position), &Picture::clicked, this, onClick);
        connect(&m_board.cover(column), &Picture::clicked, this, onClick);
    }
    for (int die = 0; die < board::dice; ++die)
        connect(&m_board.die(die), &Picture::clicked, this,
                [this, die] { m_selection.dice_0Click(die); });
    connect(m_board.rollButton(), &Picture::mouseUp, this,
            [this](QPoint pos) { m_selection.button_rollMouseUp(pos); });
    connect(m_board.endButton(), &Picture::mouseUp, this,
            [this](QPoint pos) { m_selection.button_endMouseUp(pos); });
    connect(m_board.startButton(), &Picture::mouseUp, this,
            [this](QPoint pos) { m_selection.button_startMouseUp(pos); });

    connect(&model, &TableModel::cellChanged, this, &GameView::showCell);
    connect(&model, &TableModel::boardReset, this, &GameView::showBoard);
    connect(&model, &TableModel::diceChanged, this, &GameView::showDice);
    connect(&model, &TableModel::markersChanged, this, &GameView::showMarkers);
    connect(&model, &TableModel::turnChanged, this, &GameView::showTurn);
    connect(&model, &TableModel::ownSeatChanged, this, &GameView::showPhase);
    connect(&model, &TableModel::phaseChanged, this, &GameView::showPhase);
    connect(&model, &TableModel::winnerAnnounced, this, &GameView::showWinner);
    connect(&model, &TableModel::useAllChanged, this, [this] {
        m_board.useAll()->setText(m_model.useAll() ? "Use All Markers: ON"
                                                   : "Use All Markers: OFF");
    });
    connect(&model, &TableModel::statusChanged, this,
            [this] { m_board.setStatus(m_model.status()); });
}

bool GameView::gameRunning() const {
    return m_model.gameRunning();
}

void GameView::showCell(int column, int position) {
    const TableModel::Cell& cell = m_model.cell(column, position);
    // A completed column shows the seat's boxes below its top.
    if (cell.completedBy != 0)
        m_board.chip(column, position).draw(ImageList::chips(), cell.completedBy + 4);
    else
        m_board.drawChip(column, position, cell.occupant);
    showColumnCover(column);
    // The owner's cover over the whole column, from its bottom place.
    if (position == 0)
        m_board.showClaim(column, cell.completedBy);
}

void GameView::showColumnCover(int column) {
    const int position = m_model.coverPosition(column);
    if (position < 0)
        m_board.cover(column).hide();
    else
        m_board.showCover(column, position, m_model.cell(column, position).seatUnder);
}

void GameView::showBoard() {
    for (int column = board::firstColumn; column <= board::lastColumn; ++column)
        for (int position = 0; position <= board::columnTop(column); ++position)
            showCell(column, position);
}

void GameView::showDice() {
    for (int index = 0; index < board::dice; ++index) {
        const TableModel::Die& die = m_model.die(index);
        Picture& shown = m_board.die(index);
        if (shown.image() != die.face)
            shown.draw(ImageList::dice(), die.face);
        shown.setValue(die.value);
        if (die.home)
            m_board.dieHome(index);
        else
            m_board.dieToRow(index,
                             m_model.isSelected(index) ? board::diceRaisedTop : board::diceRowTop);
    }
}

void GameView::showMarkers() {
    for (int marker = 1; marker <= board::markers; ++marker) {
        const int column = m_model.markerColumn(marker);
        Picture& extra = m_board.extra(marker);
        extra.setValue(column);
        extra.setVisible(column == 0);
        m_board.working(marker).setText(
            column != 0 && m_model.markerLabelled(marker) ? QString::number(column) : QString());
    }
}

void GameView::showTurn() {
    m_board.rollButton()->setVisible(m_model.rollOffered());
    m_board.endButton()->setVisible(m_model.endOffered());
}

void GameView::showPhase() {
    const int own = m_model.ownSeat();
    for (int seat = 1; seat <= board::seats; ++seat)
        m_board.ownColour(seat)->setVisible(m_model.ownColourShown() && seat == own);
    if (m_model.gameRunning()) {
        m_board.startButton()->hide();
        m_board.winnerPanel()->hide();
    } else if (m_model.phase() == TableModel::Phase::Won && m_state.host) {
        // A new game can be started.
        m_board.startButton()->show();
    }
}

void GameView::showWinner(const QString& name, bool ownWin) {
    const QString message =
        ownWin ? QString("You have Won the Game!") : name + " has Won the Game!";
    m_board.winner1()->setText(message);
    m_board.winner2()->setText(message);
    m_board.winnerPanel()->show();
    m_board.winnerPanel()->raise();
}
