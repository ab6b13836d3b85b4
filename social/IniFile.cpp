#include "social/IniFile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

namespace {

// One line of the file: [start, end) is its text without the line ending;
// next is where the following line starts.
struct Line {
    qsizetype start = 0;
    qsizetype end = 0;
    qsizetype next = 0;
};

// Cuts content into lines one at a time; a line ends with LF, and a CR just
// before the LF belongs to the ending.
class LineReader {
public:
    explicit LineReader(const QByteArray& content) : m_content(content) {
        if (content.startsWith("\xEF\xBB\xBF"))
            m_pos = 3;
    }
    bool next(Line& line) {
        if (m_pos >= m_content.size())
            return false;
        line.start = m_pos;
        const qsizetype lf = m_content.indexOf('\n', m_pos);
        if (lf < 0) {
            line.end = line.next = m_content.size();
        } else {
            line.end = lf > m_pos && m_content[lf - 1] == '\r' ? lf - 1 : lf;
            line.next = lf + 1;
        }
        m_pos = line.next;
        return true;
    }

private:
    const QByteArray& m_content;
    qsizetype m_pos = 0;
};

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r';
}

QByteArrayView trimmed(QByteArrayView text) {
    qsizetype from = 0;
    qsizetype to = text.size();
    while (from < to && isBlank(text[from]))
        ++from;
    while (to > from && isBlank(text[to - 1]))
        --to;
    return text.sliced(from, to - from);
}

// Text of the file: UTF-8 where it is valid, else read byte for byte as
// Latin-1, which never fails.
QString decoded(QByteArrayView bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        return QString::fromLatin1(bytes);
    return text;
}

bool sameName(QByteArrayView bytes, const QString& name) {
    return decoded(bytes).compare(name, Qt::CaseInsensitive) == 0;
}

// Names and values are kept on one line.
QByteArray oneLine(const QString& text) {
    QByteArray bytes = text.toUtf8();
    bytes.replace('\r', ' ').replace('\n', ' ');
    return bytes;
}

// A value as written after '='. Blanks at its start never read back, and a
// rewrite keeps the blanks after '=' already in the file, so writing them
// would add them again at every save of the same value.
QByteArray valueText(const QString& value) {
    QByteArray bytes = oneLine(value);
    qsizetype from = 0;
    while (from < bytes.size() && isBlank(bytes[from]))
        ++from;
    return bytes.mid(from);
}

enum class Kind { Other, Section, Setting };

struct Parsed {
    Kind kind = Kind::Other;
    QByteArrayView name;  // section or key name
    qsizetype equals = 0; // index of '=' in the line, for settings
};

Parsed parse(QByteArrayView line) {
    const QByteArrayView text = trimmed(line);
    if (text.isEmpty() || text[0] == ';' || text[0] == '#')
        return {};
    if (text[0] == '[') {
        const QByteArrayView inner = text.sliced(1);
        const qsizetype close = inner.indexOf(']');
        return {Kind::Section, trimmed(close < 0 ? inner : inner.first(close)), 0};
    }
    const qsizetype equals = line.indexOf('=');
    if (equals < 0)
        return {};
    return {Kind::Setting, trimmed(line.first(equals)), equals};
}

// Where a section and a key of it lie in the content.
struct Place {
    bool sectionFound = false;
    bool keyFound = false;
    Line key;             // the key's line
    qsizetype equals = 0; // index of its '=' within the line
    Line lastFilled;      // the section's last line that is not blank
};

Place locate(const QByteArray& content, const QString& section, const QString& key) {
    Place place;
    LineReader reader(content);
    Line line;
    bool inside = false;
    while (reader.next(line)) {
        const QByteArrayView text(content.constData() + line.start, line.end - line.start);
        const Parsed p = parse(text);
        if (p.kind == Kind::Section) {
            if (inside)
                break; // only the first section of the name counts
            if (sameName(p.name, section)) {
                inside = true;
                place.sectionFound = true;
                place.lastFilled = line;
            }
            continue;
        }
        if (!inside)
            continue;
        if (!trimmed(text).isEmpty())
            place.lastFilled = line;
        if (p.kind == Kind::Setting && !place.keyFound && sameName(p.name, key)) {
            place.keyFound = true;
            place.key = line;
            place.equals = p.equals;
        }
    }
    return place;
}

// The line ending the file already uses; LF for a file without one.
QByteArray lineEnding(const QByteArray& content) {
    const qsizetype lf = content.indexOf('\n');
    return lf > 0 && content[lf - 1] == '\r' ? "\r\n" : "\n";
}

std::optional<QByteArray> readFile(const QString& path) {
    QFile file(path);
    if (!file.exists())
        return QByteArray();
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return content;
}

} // namespace

std::optional<QString> IniFile::lookup(const QByteArray& content, const QString& section,
                                       const QString& key) {
    const Place place = locate(content, section, key);
    if (!place.keyFound)
        return std::nullopt;
    const qsizetype from = place.key.start + place.equals + 1;
    return decoded(trimmed(QByteArrayView(content.constData() + from, place.key.end - from)));
}

QByteArray IniFile::withValue(const QByteArray& content, const QString& section, const QString& key,
                              const QString& value) {
    const Place place = locate(content, section, key);
    const QByteArray eol = lineEnding(content);
    QByteArray result;
    if (place.keyFound) {
        // Keep the key as spelt in the file and the blanks after '='.
        qsizetype from = place.key.start + place.equals + 1;
        while (from < place.key.end && (content[from] == ' ' || content[from] == '\t'))
            ++from;
        result.reserve(content.size() + value.size() * 3);
        result.append(content.constData(), from);
        result.append(valueText(value));
        result.append(content.constData() + place.key.end, content.size() - place.key.end);
        return result;
    }
    const QByteArray setting = oneLine(key).replace('=', ' ') + '=' + valueText(value);
    if (place.sectionFound) {
        const Line& last = place.lastFilled;
        const bool ended = last.next > last.end;
        result.append(content.constData(), last.next);
        if (!ended)
            result.append(eol);
        result.append(setting);
        if (ended)
            result.append(eol);
        result.append(content.constData() + last.next, content.size() - last.next);
        return result;
    }
    result = content;
    if (!result.isEmpty()) {
        if (!result.endsWith('\n'))
            result.append(eol);
        result.append(eol);
    }
    result.append('[' + oneLine(section).replace(']', ' ') + ']' + eol + setting + eol);
    return result;
}

std::optional<int> IniFile::parseInteger(const QString& text) {
    const QString t = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == '-' || t[i] == '+'))
        negative = t[i++] == '-';
    int base = 10;
    if (i < t.size() && t[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < t.size() && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= t.size())
        return std::nullopt;
    quint64 magnitude = 0;
    for (; i < t.size(); ++i) {
        const char16_t c = t[i].unicode();
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0)
            return std::nullopt;
        magnitude = magnitude * quint64(base) + quint64(digit);
        if (magnitude > 0xFFFFFFFFull)
            return std::nullopt;
    }
    if (base == 16) {
        // Hexadecimal gives the 32-bit pattern: "$FFFFFFFF" is -1.
        const quint32 pattern = quint32(magnitude);
        return int(negative ? 0u - pattern : pattern);
    }
    if (negative) {
        if (magnitude > 0x80000000ull)
            return std::nullopt;
        return int(-qint64(magnitude));
    }
    if (magnitude > 0x7FFFFFFFull)
        return std::nullopt;
    return int(magnitude);
}

QString IniFile::readString(const QString& section, const QString& key,
                            const QString& defaultValue) const {
    const std::optional<QByteArray> content = readFile(m_path);
    if (!content)
        return defaultValue;
    return lookup(*content, section, key).value_or(defaultValue);
}

int IniFile::readInteger(const QString& section, const QString& key, int defaultValue) const {
    const std::optional<QByteArray> content = readFile(m_path);
    if (!content)
        return defaultValue;
    const std::optional<QString> text = lookup(*content, section, key);
    if (!text)
        return defaultValue;
    return parseInteger(*text).value_or(defaultValue);
}

bool IniFile::writeString(const QString& section, const QString& key, const QString& value) {
    const std::optional<QByteArray> content = readFile(m_path);
    if (!content)
        return false; // writing now would lose what could not be read
    const QByteArray changed = withValue(*content, section, key, value);
    if (changed == *content && QFile::exists(m_path))
        return true;
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(changed) != changed.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool IniFile::writeInteger(const QString& section, const QString& key, int value) {
    return writeString(section, key, QString::number(value));
}
