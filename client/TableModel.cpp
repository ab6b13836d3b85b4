#include "client/TableModel.h"

#include "client/BoardGeometry.h"
#include "client/EViewError.h"

namespace {
QString num(int value) {
    return QString::number(value);
}

// A die's value names one of the six faces.
void requireDieValue(int value) {
    if (value < 0 || value > 5)
        throw EViewError::missingImage("imagelist_dice", value);
}

// An occupant code has a chip picture: 0 (nothing), 1 to 9, or the marker.
void requireOccupant(int occupant) {
    if (occupant < 0 || occupant > TableModel::marker)
        throw EViewError::missingImage("imagelist_chips", occupant);
}

// The die that a placement item names when it names none.
constexpr int noUsedDie = 100;

const TableModel::Seat emptySeat{};
} // namespace

TableModel::TableModel(QObject* parent) : QObject(parent) {
    // The faces the dice show before the first roll.
    const std::array<int, dice> faces{5, 2, 0, 3};
    for (int index = 0; index < dice; ++index)
        m_dice[index].face = faces[index];
}

// ---- Seats ----------------------------------------------------------------

void TableModel::requireSeat(int seat) {
    if (!seats::isSeat(seat))
        throw EViewError("There is no seat " + num(seat));
}

void TableModel::requirePlayer(int seat, const char* control) {
    if (!seats::isPlaying(seat))
        throw EViewError::missingControl(control + num(seat));
}

const TableModel::Seat& TableModel::seat(int seat) const {
    return seats::isSeat(seat) ? m_seats[seat] : emptySeat;
}

QStringList TableModel::spectators() const {
    QStringList list;
    for (int seat = seats::playing + 1; seat <= seats::last; ++seat)
        if (m_seats[seat].present)
            list << num(seat) + ": " + m_seats[seat].name;
    return list;
}

QStringList TableModel::seatCaptions() const {
    QStringList captions;
    for (int seat = 1; seat <= seats::playing; ++seat)
        captions << m_seats[seat].name;
    return captions;
}

void TableModel::seatArrived(int seat, const QString& name) {
    requireSeat(seat);
    Seat& s = m_seats[seat];
    s.name = name;
    s.present = true;
    s.computer = false;
    if (isOwn(seat))
        m_ownName = name;
    emit seatChanged(seat);
}

QString TableModel::seatLeft(int seat) {
    requireSeat(seat);
    Seat& s = m_seats[seat];
    const QString caption = s.name;
    s.present = false;
    s.watching = false;
    if (seats::isPlaying(seat)) {
        // The score stays as it was.
        s.computer = seat == seats::computerSeat;
        s.name = s.computer ? seats::computerName(seat) : QString::fromLatin1(seats::waiting);
    } else {
        s.name.clear();
    }
    emit seatChanged(seat);
    return caption;
}

void TableModel::setScore(int seat, int score) {
    requirePlayer(seat, "label_score");
    m_seats[seat].score = score;
    emit seatChanged(seat);
}

void TableModel::setWatching(int seat, bool watching) {
    requirePlayer(seat, "image_eyes");
    m_seats[seat].watching = watching;
    emit seatChanged(seat);
}

// ---- The own seat -----------------------------------------------------------

bool TableModel::ownSeatPlays() const {
    return seats::isPlaying(m_ownSeat);
}

void TableModel::setOwnSeat(int seat) {
    requireSeat(seat);
    m_ownSeat = seat;
    emit ownSeatChanged();
    emit turnChanged();
}

bool TableModel::ownWin() const {
    if (!ownSeatPlays() || m_winner.isNull())
        return false;
    // The own name as the server announced it, which is what the server
    // names the winner by; the seat's caption before that.
    const QString own = m_ownName.isEmpty() ? seatName(m_ownSeat) : m_ownName;
    return own == m_winner;
}

// ---- The turn ---------------------------------------------------------------

bool TableModel::gameRunning() const {
    return m_phase != Phase::NoGame && m_phase != Phase::Won;
}

bool TableModel::inputAccepted() const {
    return m_turnSeat != 0 && isOwn(m_turnSeat) &&
           (m_phase == Phase::AwaitingRoll || m_phase == Phase::Rolled);
}

void TableModel::setPhase(Phase phase) {
    if (m_phase == phase)
        return;
    m_phase = phase;
    emit phaseChanged();
    emit turnChanged();
}

void TableModel::setOffers(bool roll, bool end) {
    m_rollOffered = roll;
    m_endOffered = end;
    emit turnChanged();
}

void TableModel::setTurn(int seat) {
    m_turnSeat = seat;
    emit turnChanged();
}

bool TableModel::requestRoll() {
    if (!rollOffered())
        return false;
    const bool accepted = inputAccepted();
    setOffers(false, false);
    return accepted;
}

bool TableModel::requestEnd() {
    if (!endOffered())
        return false;
    const bool accepted = inputAccepted();
    setOffers(false, false);
    return accepted;
}

bool TableModel::requestPlacement(int column) {
    if (!inputAccepted() || !checkformatch(column))
        return false;
    setPhase(Phase::Placing);
    return true;
}

// ---- Board, markers, dice -----------------------------------------------------

void TableModel::requireCell(int column, int position) {
    if (!board::isPlace(column, position))
        throw EViewError::missingControl("chip_" + num(column) + num(position));
}

void TableModel::requireDie(int die) {
    if (die < 0 || die >= dice)
        throw EViewError::missingControl("dice_" + num(die));
}

const TableModel::Cell& TableModel::cell(int column, int position) const {
    static const Cell none{};
    return board::isPlace(column, position) ? m_cells[column][position] : none;
}

TableModel::Cell& TableModel::cellAt(int column, int position) {
    return m_cells[column][position];
}

int TableModel::coverPosition(int column) const {
    if (!board::isColumn(column))
        return -1;
    for (int position = 0; position <= board::columnTop(column); ++position)
        if (m_cells[column][position].seatUnder != 0)
            return position;
    return -1;
}

void TableModel::setCell(int column, int position, int occupant, int seatUnder) {
    Cell& c = cellAt(column, position);
    c = Cell{occupant, seatUnder, 0};
    emit cellChanged(column, position);
}

void TableModel::completeColumn(int column, int through, int seat) {
    for (int position = 0; position <= through; ++position) {
        cellAt(column, position).completedBy = seat;
        emit cellChanged(column, position);
    }
}

void TableModel::clearCovers() {
    for (int column = board::firstColumn; column <= board::lastColumn; ++column)
        clearCoversIn(column, -1);
}

void TableModel::clearCoversIn(int column, int except) {
    for (int position = 0; position <= board::columnTop(column); ++position)
        if (position != except && m_cells[column][position].seatUnder != 0) {
            m_cells[column][position].seatUnder = 0;
            emit cellChanged(column, position);
        }
}

void TableModel::clearStock() {
    m_markersInUse = 0;
    m_markers.fill(StockMarker{});
    emit markersChanged();
}

void TableModel::takeMarker(int column, bool label) {
    for (const StockMarker& taken : m_markers)
        if (taken.column == column)
            return;
    ++m_markersInUse;
    if (m_markersInUse > markers)
        return;
    m_markers[m_markersInUse - 1] = StockMarker{column, label};
    emit markersChanged();
}

void TableModel::dieHome(int die) {
    m_dice[die].home = true;
    m_dice[die].value = noValue;
}

void TableModel::setSelection(int slotA, int slotB) {
    m_slotA = slotA;
    m_slotB = slotB;
    emit diceChanged();
}

bool TableModel::checkformatch(int column) const {
    if (m_slotA == noDie || m_slotB == noDie)
        return false;
    return m_dice[m_slotA].value + m_dice[m_slotB].value + 2 == column;
}

void TableModel::setStatus(const QString& text) {
    m_status = text;
    m_statusRefuses = false;
    emit statusChanged();
}

void TableModel::setRefusal(const QString& text) {
    m_status = text;
    m_statusRefuses = true;
    emit statusChanged();
}

// ---- Game messages --------------------------------------------------------

void TableModel::startGame(bool useAll) {
    m_useAll = useAll;
    emit useAllChanged();
    m_winner = QString();
    for (auto& column : m_cells)
        column.fill(Cell{});
    emit boardReset();
    clearStock();
    for (Die& d : m_dice)
        d.home = true; // the values stay as they are
    m_slotA = m_slotB = noDie;
    emit diceChanged();
    for (int seat = 1; seat <= seats::playing; ++seat) {
        m_seats[seat].score = 0;
        if (seat == seats::computerSeat && m_seats[seat].name == QLatin1String(seats::waiting)) {
            m_seats[seat].name = seats::computerName(seat);
            m_seats[seat].computer = true;
        }
        emit seatChanged(seat);
    }
    setOffers(false, false);
    setPhase(Phase::Paused);
}

void TableModel::beginTurn(int seat) {
    requirePlayer(seat);
    clearStock();
    for (int die = 0; die < dice; ++die)
        dieHome(die);
    emit diceChanged();
    m_turnSeat = seat;
    m_arrowSeat = seat;
    m_rollOffered = isOwn(seat);
    m_endOffered = false;
    setPhase(Phase::AwaitingRoll);
    emit turnChanged();
}

void TableModel::applyRoll(const msg::Rolldice& roll) {
    for (const msg::DieState& d : roll.dice) {
        requireDie(d.die);
        requireDieValue(d.value);
    }
    for (const msg::DieState& d : roll.dice)
        m_dice[d.die] = Die{d.value, d.value, false};
    m_slotA = m_slotB = noDie;
    emit diceChanged();
    if (gameRunning())
        setPhase(Phase::Rolled);
    emit rolled(roll.seat);
}

void TableModel::applyPlacement(const msg::PlacechipResult& placement) {
    requirePlayer(placement.seat);
    using Kind = PlaceItem::Kind;
    for (const PlaceItem& item : placement.items) {
        if (item.kind == Kind::DieUsed) {
            if (item.die != noUsedDie)
                requireDie(item.die);
            continue;
        }
        requireCell(item.cell.column, item.cell.position);
        requireOccupant(item.kind == Kind::Covered ? item.cell.seatUnder : item.cell.occupant);
    }

    for (const PlaceItem& item : placement.items) {
        const int column = item.cell.column;
        const int position = item.cell.position;
        switch (item.kind) {
        case Kind::DieUsed:
            m_slotA = m_slotB = noDie;
            if (item.die != noUsedDie)
                dieHome(item.die);
            emit diceChanged();
            break;
        case Kind::Uncovered:
            // The marker left: whatever it covered in the column shows again.
            clearCoversIn(column, position);
            setCell(column, position, item.cell.occupant, 0);
            break;
        case Kind::Covered:
            clearCoversIn(column, position);
            cellAt(column, position).seatUnder = item.cell.seatUnder;
            emit cellChanged(column, position);
            break;
        case Kind::Marker: {
            takeMarker(column, true);
            const int under = cellAt(column, position).seatUnder;
            setCell(column, position, item.cell.occupant, under);
            break;
        }
        }
    }
    m_turnSeat = placement.seat;
    setOffers(isOwn(placement.seat), isOwn(placement.seat));
    if (gameRunning())
        setPhase(Phase::Rolled);
}

void TableModel::refusePlacement() {
    m_turnSeat = m_ownSeat;
    setPhase(Phase::Rolled);
    emit turnChanged();
}

void TableModel::refuseEnd() {
    m_turnSeat = m_ownSeat;
    // Only the roll comes back: the player must roll on.
    m_rollOffered = true;
    m_endOffered = false;
    setPhase(Phase::Rolled);
    emit turnChanged();
}

void TableModel::applyEnd(const msg::EndturnResult& end) {
    requirePlayer(end.seat);
    for (const EndItem& item : end.items) {
        requireCell(item.cell.column, item.cell.position);
        requireOccupant(item.cell.occupant);
        if (item.completedThrough > 0)
            requireCell(item.cell.column, item.completedThrough);
    }

    for (const EndItem& item : end.items) {
        setCell(item.cell.column, item.cell.position, item.cell.occupant, 0);
        // A column completed: the places below its top show the seat's boxes.
        if (item.completedThrough > 0)
            completeColumn(item.cell.column, item.completedThrough, end.seat);
    }
    m_slotA = m_slotB = noDie;
    emit diceChanged();
    clearCovers();
    setOffers(false, false);
    if (gameRunning())
        setPhase(Phase::Paused);
}

bool TableModel::announceWinner(const QString& name) {
    // A winner without a game, or a second one for the same game, would
    // count wins that were never played.
    if (!gameRunning())
        return false;
    m_winner = name;
    m_turnSeat = 0;
    m_rollOffered = m_endOffered = false;
    setPhase(Phase::Won);
    emit turnChanged();
    emit winnerAnnounced(name, ownWin());
    return true;
}

bool TableModel::applyGamestats(const msg::Gamestats& stats) {
    if (!isOwn(stats.seat))
        return false;
    for (const msg::DieState& d : stats.dice) {
        requireDie(d.die);
        if (d.value != noValue)
            requireDieValue(d.value);
    }
    for (const BoardItem& c : stats.cells) {
        requireCell(c.column, c.position);
        requireOccupant(c.occupant);
        requireOccupant(c.seatUnder);
    }

    clearStock();
    m_turnSeat = stats.turnSeat;
    for (const msg::DieState& d : stats.dice) {
        // A die without a value shows two pips.
        Die& shown = m_dice[d.die];
        shown = Die{d.value == noValue ? 1 : d.value, d.value, false};
        if (!d.available)
            dieHome(d.die);
    }
    emit diceChanged();
    for (const BoardItem& c : stats.cells) {
        if (c.occupant == marker)
            takeMarker(c.column, false); // the working labels stay as they are
        setCell(c.column, c.position, c.occupant, c.seatUnder);
        if (seats::isPlaying(c.occupant) && c.position == board::columnTop(c.column))
            completeColumn(c.column, board::gethighnum(c.column), c.occupant);
    }
    if (seats::isPlaying(stats.turnSeat))
        m_arrowSeat = stats.turnSeat;
    m_useAll = stats.useAllFlag == "1";
    emit useAllChanged();
    m_rollOffered = m_endOffered = isOwn(stats.turnSeat);
    setPhase(Phase::Rolled);
    emit turnChanged();
    emit phaseChanged(); // the own colour shows from now on
    return true;
}
