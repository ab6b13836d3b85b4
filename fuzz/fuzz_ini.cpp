// Arbitrary settings files and one write of a key into them. The input is
// "section NUL key NUL value NUL content". After the write the key reads back
// as written and a second write of the same value changes nothing (where
// its names can be written at all), and every line outside the written key is the
// same text as before.
#include "FuzzScratch.h"
#include "social/IniFile.h"

#include <cstdint>

namespace {

// The text of each line, without its ending (LF, or CR LF).
QList<QByteArray> linesOf(QByteArray content) {
    if (content.startsWith("\xEF\xBB\xBF"))
        content.remove(0, 3);
    QList<QByteArray> lines;
    qsizetype from = 0;
    while (from < content.size()) {
        qsizetype lf = content.indexOf('\n', from);
        const qsizetype next = lf < 0 ? content.size() : lf + 1;
        if (lf < 0)
            lf = content.size();
        else if (lf > from && content[lf - 1] == '\r')
            --lf;
        lines.append(content.mid(from, lf - from));
        from = next;
    }
    return lines;
}

bool isBlank(QChar c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r';
}

// A section or key name that the file can hold as given: one line, no
// surrounding blanks, nothing that would make the line a comment, a section
// or a different key.
bool writableName(const QString& name, bool section) {
    if (name.isEmpty() || isBlank(name.front()) || isBlank(name.back()))
        return false;
    if (name.contains('\n') || name.contains('\r') || name.contains(QChar(0xFEFF)))
        return false;
    if (section)
        return !name.contains(']');
    return !name.contains('=') && name.front() != '[' && name.front() != ';' && name.front() != '#';
}

// What a value reads back as: one line, without blanks at either end.
QString expectedValue(QString value) {
    value.replace('\r', ' ').replace('\n', ' ');
    qsizetype from = 0;
    qsizetype to = value.size();
    while (from < to && isBlank(value[from]))
        ++from;
    while (to > from && isBlank(value[to - 1]))
        --to;
    value = value.mid(from, to - from);
    // The UTF-8 reading takes a U+FEFF at the start of a value for a byte
    // order mark and drops it.
    if (value.startsWith(QChar(0xFEFF)))
        value.remove(0, 1);
    return value;
}

QByteArray field(const QByteArray& input, qsizetype& pos) {
    qsizetype nul = input.indexOf('\0', pos);
    if (nul < 0)
        nul = input.size();
    const QByteArray out = input.mid(pos, nul - pos);
    pos = qMin(nul + 1, input.size());
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    qsizetype pos = 0;
    const QString section = QString::fromUtf8(field(input, pos));
    const QString key = QString::fromUtf8(field(input, pos));
    const QString value = QString::fromUtf8(field(input, pos));
    const QByteArray before = input.mid(pos);

    const QString path = fuzzScratch().filePath("settings.ini");
    writeFileOrDie(path, before);
    IniFile ini(path);
    FUZZ_CHECK(ini.writeString(section, key, value));
    const QByteArray after = readFileOrDie(path);
    FUZZ_CHECK(after == IniFile::withValue(before, section, key, value));

    if (writableName(section, true) && writableName(key, false)) {
        const QString missing = QStringLiteral("\x01missing");
        FUZZ_CHECK(ini.readString(section, key, missing) == expectedValue(value));
        // Writing what is there already leaves every byte alone.
        FUZZ_CHECK(IniFile::withValue(after, section, key, value) == after);
    }

    // Every line but the key's own (and the section header and blank line a
    // new section brings) is the same text, in the same order.
    const QList<QByteArray> old = linesOf(before);
    const QList<QByteArray> now = linesOf(after);
    // A last line without ending that ends in CR keeps its bytes, but the LF
    // added after it turns that CR into a line ending.
    auto same = [&](qsizetype o, qsizetype n) {
        if (old[o] == now[n])
            return true;
        return o == old.size() - 1 && !before.endsWith('\n') && old[o] == now[n] + '\r';
    };
    qsizetype head = 0;
    while (head < old.size() && head < now.size() && same(head, head))
        ++head;
    qsizetype tail = 0;
    while (tail < old.size() - head && tail < now.size() - head &&
           same(old.size() - 1 - tail, now.size() - 1 - tail))
        ++tail;
    const qsizetype removed = old.size() - head - tail;
    const qsizetype added = now.size() - head - tail;
    FUZZ_CHECK(removed <= 1);
    // A file of only a byte order mark has no line, yet the line ending
    // added after it makes an empty one.
    FUZZ_CHECK(added <= (old.isEmpty() && !before.isEmpty() ? 4 : 3));
    if (removed == 1) {
        // Only a setting line may change, and only after its '='.
        const QByteArray& was = old[head];
        const qsizetype equals = was.indexOf('=');
        FUZZ_CHECK(equals >= 0 && added == 1);
        FUZZ_CHECK(now[head].left(equals + 1) == was.left(equals + 1));
    }
    // Line endings: none the file did not have, or LF for a file without any.
    // A CR that ended the file may become a CR LF when a line follows it.
    const bool hadCrLf = before.contains("\r\n");
    const bool hadLf = QByteArray(before).replace("\r\n", "").contains('\n');
    const qsizetype crLfs = after.count("\r\n");
    const bool hasLf = QByteArray(after).replace("\r\n", "").contains('\n');
    if (!hadCrLf)
        FUZZ_CHECK(crLfs <= (before.endsWith('\r') ? 1 : 0));
    if (hadCrLf && !hadLf)
        FUZZ_CHECK(!hasLf);
    return 0;
}
