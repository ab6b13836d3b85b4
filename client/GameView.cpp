#include "client/GameView.h"

#include "client/BoardGeometry.h"
#include "client/ClientServices.h"
#include "client/EViewError.h"
#include "client/ImageList.h"
#include "client/Picture.h"
#include "client/SeatsView.h"
#include "client/TurnButton.h"
#include "protocol/Commands.h"
#include "protocol/Cp1252.h"
#include "protocol/FieldReader.h"

#include <QLabel>
#include <QList>

namespace {
QString text(const QByteArray& bytes) {
    return cp1252::toUnicode(bytes);
}

// The image of a die value: faces 1 to 6 for the values 0 to 5.
void requireDieValue(int value) {
    if (value < 0 || value >= ImageList::dice().count())
        throw EViewError::missingImage("imagelist_dice", value);
}

struct Item {
    QByteArray tag;
    int w = 0, x = 0, y = 0, z = 0;
};
} // namespace

GameView::GameView(QWidget* panelBoard, ClientServices& services)
    : QObject(panelBoard), m_services(services), m_board(panelBoard),
      m_seats(new SeatsView(panelBoard)), m_selection(services, m_board, this) {
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
}

bool GameView::isOwn(int seat) const {
    return seat == m_services.state().ownSeat;
}

int GameView::markerOn(int column) const {
    for (int marker = 1; marker <= board::markers; ++marker)
        if (m_board.extra(marker).value() == column)
            return marker;
    return 0;
}

void GameView::takeMarker(int column, bool writeLabel) {
    if (markerOn(column) != 0)
        return;
    ++m_markersInUse;
    if (m_markersInUse > board::markers)
        return;
    Picture& extra = m_board.extra(m_markersInUse);
    extra.hide();
    extra.setValue(column);
    if (writeLabel)
        m_board.working(m_markersInUse).setText(QString::number(column));
}

void GameView::showUseAll(const QByteArray& flag) {
    m_board.useAll()->setText(flag == "1" ? "Use All Markers: ON" : "Use All Markers: OFF");
}

void GameView::showOwnColour() {
    const int own = m_services.state().ownSeat;
    for (int seat = 1; seat <= board::seats; ++seat)
        m_board.ownColour(seat)->setVisible(seat == own);
}

void GameView::showTurnButtons() {
    m_board.rollButton()->show();
    m_board.endButton()->show();
}

void GameView::clearboard() {
    m_board.hideCovers();
    for (int marker = 1; marker <= board::markers; ++marker)
        m_board.extra(marker).show();
    for (int die = 0; die < board::dice; ++die)
        m_board.dieHome(die);
    for (int column = board::firstColumn; column <= board::lastColumn; ++column)
        for (int position = 0; position <= board::columnTop(column); ++position)
            m_board.chip(column, position).blank();
}

void GameView::startthegame(const QByteArray& args) {
    const auto [name, flag] = cmd::readStartgame(args);

    m_board.startButton()->hide();
    m_services.setJustWatchTicked(false);
    m_board.winnerPanel()->hide();
    showUseAll(flag);
    m_services.systemLine(text(name) + " has started a game.");
    clearboard();
    for (int seat = 1; seat <= board::seats; ++seat)
        m_seats->score(seat).setText("0");
    if (m_seats->name(2).text() == SeatsView::waiting)
        m_seats->name(2).setText(SeatsView::computerName(2));
    showOwnColour();
    m_gameRunning = true;
}

void GameView::getnextplayer(const QByteArray& args) {
    FieldReader reader(args);
    const int seat = reader.nextInt();
    const QLabel& name = m_seats->name(seat);

    m_board.endButton()->hide();
    m_board.rollButton()->hide();
    m_markersInUse = 0;
    for (int marker = 1; marker <= board::markers; ++marker) {
        m_board.working(marker).clear();
        m_board.extra(marker).setValue(0);
        m_board.extra(marker).show();
    }
    for (int die = 0; die < board::dice; ++die) {
        m_board.dieHome(die);
        m_board.die(die).setValue(10);
    }
    m_services.state().turnSeat = seat;
    m_seats->moveTurnArrow(seat);
    if (isOwn(seat)) {
        m_board.setStatus("Your Turn.");
        m_services.playsounds(m_services.turnSoundNew() ? "turnnew" : "turn");
        m_board.rollButton()->show();
    } else {
        m_board.setStatus(name.text() + "'s turn.");
    }
}

void GameView::rolldice(const QByteArray& args) {
    FieldReader reader(args);
    reader.nextInt(); // the seat must be a number, but every client shows the roll
    const QByteArray verdict = reader.next();
    QList<Item> dice;
    while (!reader.atEnd()) {
        Item item;
        item.w = reader.nextInt();
        item.x = reader.nextInt();
        BoardView::requireDie(item.w);
        requireDieValue(item.x);
        dice.append(item);
    }

    for (const Item& item : dice) {
        Picture& die = m_board.die(item.w);
        die.draw(ImageList::dice(), item.x);
        m_board.dieToRow(item.w, board::diceRowTop);
        die.setValue(item.x);
    }
    m_selection.clear();
    if (verdict == "f") {
        m_board.setStatus("No Moves.. Turn Over");
        m_services.playsounds("turnoverbad");
    } else {
        m_services.playsounds("dice");
    }
}

void GameView::placechip(const QByteArray& args) {
    FieldReader reader(args);
    const int seat = reader.nextInt();
    m_seats->name(seat); // the mover must be a playing seat
    QList<Item> items;
    while (!reader.atEnd()) {
        Item item;
        item.tag = reader.next();
        const QByteArray x = reader.next();
        const QByteArray y = reader.next();
        const QByteArray z = reader.next();
        if (item.tag != "u" && item.tag != "c" && item.tag != "p" && item.tag != "d")
            continue; // an item of another kind means nothing here
        item.x = FieldReader::toInt(x);
        item.y = FieldReader::toInt(y);
        item.z = FieldReader::toInt(z);
        if (item.tag == "d") {
            if (item.x != 100) // 100 names no die
                BoardView::requireDie(item.x);
        } else {
            BoardView::requireChip(item.x, item.y);
            BoardView::requireOccupant(item.z);
        }
        items.append(item);
    }

    for (const Item& item : items) {
        const bool top = item.y == board::columnTop(item.x);
        if (item.tag == "d") {
            m_selection.clear();
            if (item.x != 100) {
                m_board.dieHome(item.x);
                m_board.die(item.x).setValue(10);
            }
        } else if (item.tag == "u") {
            m_board.cover(item.x).hide();
            m_board.drawChip(item.x, item.y, item.z);
        } else if (item.tag == "c") {
            m_board.showCover(item.x, item.y, item.z);
            m_services.playsounds(top ? "rowcomplete" : "placechip");
        } else {
            takeMarker(item.x, true);
            m_board.drawChip(item.x, item.y, item.z);
            m_services.playsounds(top ? "rowcomplete" : "placechip");
        }
    }
    if (isOwn(seat))
        showTurnButtons();
    m_services.state().turnSeat = seat;
}

void GameView::invalid(const QByteArray& args) {
    FieldReader reader(args);
    const int seat = reader.nextInt();
    if (!isOwn(seat))
        return;
    m_services.playsounds("invalid");
    m_board.setStatus("Invalid Play");
    // The player may try another column; the dice selection stays.
    m_services.state().turnSeat = seat;
}

void GameView::refusedEnd(const QByteArray& args, const QString& status) {
    FieldReader reader(args);
    const int seat = reader.nextInt();
    if (!isOwn(seat))
        return;
    m_board.setStatus(status);
    m_services.playsounds("invalid");
    m_services.state().turnSeat = seat;
    // Only the roll button comes back: the player must roll on.
    m_board.rollButton()->show();
}

void GameView::mustmove(const QByteArray& args) {
    refusedEnd(args, "You must move off another player's piece");
}

void GameView::useall(const QByteArray& args) {
    refusedEnd(args, "You must use all the Markers before Ending Turn.");
}

void GameView::endturn(const QByteArray& args) {
    FieldReader reader(args);
    const int seat = reader.nextInt();
    const QLabel& name = m_seats->name(seat);
    const QByteArray code = reader.next();
    QList<Item> items;
    while (!reader.atEnd()) {
        Item item;
        item.w = reader.nextInt(); // column
        item.x = reader.nextInt(); // position
        item.y = reader.nextInt(); // occupant
        item.z = reader.nextInt(); // fill
        if (item.w == 101)
            continue; // the item that stands for "nothing changed"
        BoardView::requireChip(item.w, item.x);
        BoardView::requireOccupant(item.y);
        if (item.z > 0)
            BoardView::requireChip(item.w, item.z);
        items.append(item);
    }

    for (const Item& item : items) {
        m_board.drawChip(item.w, item.x, item.y);
        // A column completed: the places below its top become the seat's boxes.
        if (item.z > 0)
            for (int position = 0; position <= item.z; ++position)
                m_board.chip(item.w, position).draw(ImageList::chips(), seat + 4);
    }
    m_selection.clear();
    m_board.hideCovers();
    if (code == "p") {
        m_board.setStatus(isOwn(seat) ? QString("You ended your turn.")
                                      : name.text() + " ended their turn.");
        m_services.playsounds("turnovergood");
    }
}

void GameView::postscores(const QByteArray& args) {
    FieldReader reader(args);
    const int seat = reader.nextInt();
    QLabel& score = m_seats->score(seat);
    score.setText(text(reader.next()));
}

void GameView::winner(const QByteArray& args) {
    // "{name}+": the whole text less the closing "+", so a name holding "+"
    // is compared and recorded whole.
    QByteArray bytes = args;
    if (bytes.endsWith('+'))
        bytes.chop(1);
    const QString name = text(bytes);
    // A winner without a game, or a second one for the same game, would
    // count wins that were never played.
    if (!m_gameRunning)
        return;
    m_gameRunning = false;

    m_board.endButton()->hide();
    m_board.rollButton()->hide();
    ClientState& state = m_services.state();
    state.turnSeat = 0;
    m_services.playsounds("winner");
    // The own name as the server announced it, which is what the server
    // names the winner by (the seat label as a fallback before that).
    const QLabel* own = m_seats->nameLabel(state.ownSeat);
    const QString ownName = state.ownName.isEmpty() && own ? own->text() : state.ownName;
    const bool won = own && ownName == name;
    const QString message = won ? QString("You have Won the Game!") : name + " has Won the Game!";
    m_board.winner1()->setText(message);
    m_board.winner2()->setText(message);
    m_board.setStatus("Game Over!");
    m_services.systemLine(message);
    m_board.winnerPanel()->show();
    m_board.winnerPanel()->raise();
    if (state.host)
        m_board.startButton()->show();
    if (own) // spectators record nothing
        m_services.recordGame(won ? QString("addtomine") : name);
}

void GameView::gamestats(const QByteArray& args) {
    FieldReader reader(args);
    if (!isOwn(reader.nextInt()))
        return; // meant for another newcomer
    const int turn = reader.nextInt();
    const QByteArray flag = reader.next();
    QList<Item> items;
    while (!reader.atEnd()) {
        Item item;
        item.tag = reader.next();
        item.w = reader.nextInt();
        item.x = reader.nextInt();
        item.y = reader.nextInt();
        item.z = reader.nextInt();
        if (item.tag == "d") {
            BoardView::requireDie(item.w);
            if (item.x != 10)
                requireDieValue(item.x);
        } else if (item.tag == "c") {
            BoardView::requireChip(item.w, item.x);
            BoardView::requireOccupant(item.y);
            BoardView::requireOccupant(item.z);
        } else {
            continue;
        }
        items.append(item);
    }

    m_markersInUse = 0;
    for (int marker = 1; marker <= board::markers; ++marker)
        m_board.extra(marker).setValue(0);
    m_services.state().turnSeat = turn;
    for (const Item& item : items) {
        if (item.tag == "d") {
            // A die without a value shows two pips.
            Picture& die = m_board.die(item.w);
            die.draw(ImageList::dice(), item.x == 10 ? 1 : item.x);
            m_board.dieToRow(item.w, board::diceRowTop);
            die.setValue(item.x);
            if (item.y == 0) {
                m_board.dieHome(item.w);
                die.setValue(10);
            }
            continue;
        }
        const bool marker = item.y == 10;
        if (marker)
            takeMarker(item.w, false); // the working labels stay as they are
        m_board.drawChip(item.w, item.x, item.y);
        if (item.y >= 1 && item.y <= board::seats && item.x == board::columnTop(item.w))
            for (int position = 0; position <= board::gethighnum(item.w); ++position)
                m_board.chip(item.w, position).draw(ImageList::chips(), item.y + 4);
        if (item.z != 0)
            m_board.showCover(item.w, item.x, item.z);
    }
    if (isOwn(turn))
        showTurnButtons();
    if (turn >= 1 && turn <= board::seats)
        m_seats->moveTurnArrow(turn);
    showUseAll(flag);
    showOwnColour();
    m_gameRunning = true;
}
