#include "protocol/Messages.h"

#include "game/Board.h"
#include "protocol/FieldReader.h"

namespace msg {

namespace {

// The next field of an item, which must be there: an item list cut short
// is refused, whatever the item's tag.
QByteArray itemField(FieldReader& reader) {
    if (reader.atEnd())
        throw EConvertError(QByteArray());
    return reader.next();
}

int itemInt(FieldReader& reader) {
    return FieldReader::toInt(itemField(reader));
}

// The column of the end-of-turn item that stands for "nothing changed".
constexpr int noColumn = 101;

} // namespace

Logininfo readLogininfo(const QByteArray& args) {
    FieldReader reader(args);
    Logininfo out;
    out.seat = reader.nextInt();
    out.version = reader.next();
    out.name = reader.rest();
    return out;
}

Kickhim readKickhim(const QByteArray& args) {
    FieldReader reader(args);
    Kickhim out;
    out.requester = reader.nextInt();
    out.target = reader.nextInt();
    return out;
}

SeatText readSeatText(const QByteArray& args) {
    FieldReader reader(args);
    SeatText out;
    out.seat = reader.nextInt();
    out.body = reader.rest();
    return out;
}

Startgame readStartgame(const QByteArray& args) {
    QByteArray text = args;
    if (text.endsWith('+'))
        text.chop(1);
    const qsizetype plus = text.lastIndexOf('+');
    if (plus < 0)
        return {text, {}};
    return {text.left(plus), text.mid(plus + 1)};
}

WatchFlag readWatchFlag(const QByteArray& args) {
    FieldReader reader(args);
    WatchFlag out;
    out.seat = reader.nextInt();
    out.flag = reader.next();
    return out;
}

SeatOnly readSeatOnly(const QByteArray& args) {
    FieldReader reader(args);
    return {reader.nextInt()};
}

Placechip readPlacechip(const QByteArray& args) {
    FieldReader reader(args);
    Placechip out;
    out.seat = reader.nextInt();
    out.column = reader.nextInt();
    out.dieA = reader.nextInt();
    out.dieB = reader.nextInt();
    return out;
}

Endturn readEndturn(const QByteArray& args) {
    FieldReader reader(args);
    Endturn out;
    out.seat = reader.nextInt();
    out.code = reader.next();
    return out;
}

SeatName readSeatName(const QByteArray& args) {
    FieldReader reader(args);
    SeatName out;
    out.seat = reader.nextInt();
    out.name = reader.rest();
    return out;
}

QByteArray readHavewrongversion(const QByteArray& args) {
    return args;
}

QByteArray readWinner(const QByteArray& args) {
    return args.endsWith('+') ? args.left(args.size() - 1) : args;
}

Gamestats readGamestats(const QByteArray& args) {
    FieldReader reader(args);
    Gamestats out;
    out.seat = reader.nextInt();
    out.turnSeat = reader.nextInt();
    out.useAllFlag = reader.next();
    while (!reader.atEnd()) {
        const QByteArray tag = reader.next();
        const int w = itemInt(reader), x = itemInt(reader), y = itemInt(reader),
                  z = itemInt(reader);
        if (tag == "d")
            out.dice.append({w, x, y != 0});
        else if (tag == "c")
            out.cells.append({w, x, y, z});
    }
    return out;
}

Rolldice readRolldice(const QByteArray& args) {
    FieldReader reader(args);
    Rolldice out;
    out.seat = reader.nextInt();
    const QByteArray verdict = reader.next();
    if (verdict != "t" && verdict != "f")
        throw EConvertError(verdict, "roll verdict");
    out.playable = verdict == "t";
    while (!reader.atEnd()) {
        const int die = reader.nextInt();
        out.dice.append({die, itemInt(reader), true});
    }
    return out;
}

PlacechipResult readPlacechipResult(const QByteArray& args) {
    FieldReader reader(args);
    PlacechipResult out;
    out.seat = reader.nextInt();
    while (!reader.atEnd()) {
        const QByteArray tag = reader.next();
        if (tag != "u" && tag != "c" && tag != "p" && tag != "d") {
            // An item of another kind means nothing here; its fields are not read.
            for (int field = 0; field < 3; ++field)
                itemField(reader);
            continue;
        }
        const int x = itemInt(reader), y = itemInt(reader), z = itemInt(reader);
        PlaceItem item;
        item.kind = PlaceItem::Kind(tag[0]);
        switch (item.kind) {
        case PlaceItem::Kind::DieUsed:
            item.die = x;
            break;
        case PlaceItem::Kind::Covered:
            item.cell = {x, y, Board::marker, z};
            break;
        case PlaceItem::Kind::Uncovered:
        case PlaceItem::Kind::Marker:
            item.cell = {x, y, z, 0};
            break;
        }
        out.items.append(item);
    }
    return out;
}

Mustmove readMustmove(const QByteArray& args) {
    FieldReader reader(args);
    Mustmove out;
    out.seat = reader.nextInt();
    out.column = reader.nextInt();
    out.position = reader.nextInt();
    return out;
}

EndturnResult readEndturnResult(const QByteArray& args) {
    FieldReader reader(args);
    EndturnResult out;
    out.seat = reader.nextInt();
    out.code = reader.next();
    while (!reader.atEnd()) {
        const int column = reader.nextInt();
        const int position = itemInt(reader), occupant = itemInt(reader), fill = itemInt(reader);
        if (column != noColumn)
            out.items.append({{column, position, occupant, 0}, fill});
    }
    return out;
}

Postscores readPostscores(const QByteArray& args) {
    FieldReader reader(args);
    Postscores out;
    out.seat = reader.nextInt();
    out.completed = reader.nextInt();
    return out;
}

} // namespace msg
