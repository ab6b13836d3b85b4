#include "protocol/Commands.h"

namespace {
QByteArray num(int value) {
    return QByteArray::number(value);
}

// name + "+" + each field joined by "+".
QByteArray join(const char* name, std::initializer_list<QByteArray> fields) {
    QByteArray out(name);
    for (const QByteArray& field : fields) {
        out += '+';
        out += field;
    }
    return out;
}
} // namespace

namespace cmd {

QByteArray frame(const QByteArray& message) {
    return message + char(0xFF);
}

QByteArray logininfo_(int seat, const QByteArray& versionText, const QByteArray& name) {
    return join(logininfo, {num(seat), versionText, name});
}
QByteArray kickhim_(int requester, int target) {
    return join(kickhim, {num(requester), num(target), {}});
}
QByteArray chat_(int seat, const QByteArray& text, const QByteArray& colour) {
    return join(chat, {num(seat), text + '|' + colour});
}
QByteArray action_(int seat, const QByteArray& text, const QByteArray& colour) {
    return join(action, {num(seat), text + '|' + colour});
}
QByteArray playasound_(int seat, int sound) {
    return join(playasound, {num(seat), "wave" + num(sound), {}});
}
QByteArray startgame_(const QByteArray& name, const QByteArray& useAllFlag) {
    return join(startgame, {name, useAllFlag, {}});
}
QByteArray justwatch_(int seat, int flag) {
    return join(justwatch, {num(seat), num(flag)});
}
QByteArray rollthedice_(int seat) {
    return join(rollthedice, {num(seat), {}});
}
QByteArray placechip_(int seat, int column, int dieA, int dieB) {
    return join(placechip, {num(seat), num(column), num(dieA), num(dieB), {}});
}
QByteArray endturn_(int seat, const QByteArray& code) {
    return join(endturn, {num(seat), code, {}});
}

QByteArray sendlogininfo_(int seat) {
    return join(sendlogininfo, {num(seat)});
}
QByteArray full_() {
    return join(full, {{}});
}
QByteArray newplayerinfo_(int seat, const QByteArray& name) {
    return join(newplayerinfo, {num(seat), name});
}
QByteArray existingplayers_(int seat, const QByteArray& name) {
    return join(existingplayers, {num(seat), name});
}
QByteArray havewrongversion_(const QByteArray& name) {
    return join(havewrongversion, {name});
}
QByteArray wrongversion_() {
    return join(wrongversion, {{}});
}
QByteArray gamestats_(int seat, int current, const QByteArray& useAllFlag,
                      const QList<msg::DieState>& dice, const QList<BoardItem>& cells) {
    QByteArray out = join(gamestats, {num(seat), num(current), useAllFlag});
    for (const msg::DieState& die : dice)
        out +=
            "+d+" + num(die.die) + '+' + num(die.value) + '+' + (die.available ? "1" : "0") + "+0";
    for (const BoardItem& cell : cells)
        out += "+c+" + num(cell.column) + '+' + num(cell.position) + '+' + num(cell.occupant) +
               '+' + num(cell.seatUnder);
    return out;
}
QByteArray chatRelay_(int seat, const QByteArray& name, const QByteArray& rest) {
    return join(chat, {num(seat), name + " chats: " + rest});
}
QByteArray actionRelay_(int seat, const QByteArray& name, const QByteArray& rest) {
    return join(action, {num(seat), name + ' ' + rest});
}
QByteArray playasoundRelay_(int seat, const QByteArray& rest) {
    return join(playasound, {num(seat), rest});
}
QByteArray playerdisconnected_(int seat, const QByteArray& name) {
    return join(playerdisconnected, {num(seat), name});
}
QByteArray justwatching_(int seat, int flag) {
    return join(justwatching, {num(seat), num(flag)});
}
QByteArray nextplayer_(int seat) {
    return join(nextplayer, {num(seat), {}});
}
QByteArray rolldice_(int seat, bool playable, const std::array<int, 4>& values) {
    QByteArray out = join(rolldice, {num(seat), playable ? "t" : "f"});
    for (int die = 0; die < 4; ++die)
        out += '+' + num(die) + '+' + num(values[die]);
    return out;
}
QByteArray cannotroll_(int seat) {
    return join(cannotroll, {num(seat), {}});
}
QByteArray placechipResult_(int seat, const QList<PlaceItem>& items) {
    QByteArray out = join(placechip, {num(seat)});
    for (const PlaceItem& item : items) {
        out += '+';
        out += char(item.kind);
        if (item.kind == PlaceItem::Kind::DieUsed) {
            out += '+' + num(item.die) + "+0+0";
            continue;
        }
        const int z =
            item.kind == PlaceItem::Kind::Covered ? item.cell.seatUnder : item.cell.occupant;
        out += '+' + num(item.cell.column) + '+' + num(item.cell.position) + '+' + num(z);
    }
    return out;
}
QByteArray invalid_(int seat) {
    return join(invalid, {num(seat), {}});
}
QByteArray useall_(int seat) {
    return join(useall, {num(seat), {}});
}
QByteArray mustmove_(int seat, int column, int position) {
    return join(mustmove, {num(seat), num(column), num(position), {}});
}
QByteArray endturnResult_(int seat, const QByteArray& code, const QList<EndItem>& items) {
    QByteArray out = join(endturn, {num(seat), code});
    if (items.isEmpty())
        return out + "+101+101+101+0";
    for (const EndItem& item : items)
        out += '+' + num(item.cell.column) + '+' + num(item.cell.position) + '+' +
               num(item.cell.occupant) + '+' + num(item.completedThrough);
    return out;
}
QByteArray postscores_(int seat, int completed) {
    return join(postscores, {num(seat), num(completed), {}});
}
QByteArray winner_(const QByteArray& name) {
    return join(winner, {name, {}});
}

Split split(const QByteArray& message) {
    const qsizetype plus = message.indexOf('+');
    if (plus < 0)
        return {{}, {}};
    return {message.left(plus), message.mid(plus + 1)};
}

} // namespace cmd
