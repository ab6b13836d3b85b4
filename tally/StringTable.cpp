#include "tally/StringTable.h"

#include "tally/EGridException.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

#include <algorithm>

namespace {

QString decoded(QByteArrayView bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    // Files of other origins may hold 8-bit text; it reads as Latin-1.
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

// A count line: a decimal number of at least 1.
int count(QByteArrayView line, const char* what) {
    bool ok = false;
    const int value = line.toByteArray().trimmed().toInt(&ok);
    if (!ok || value < 1)
        throw EGridException(QString("the %1 count is missing or not a number").arg(what));
    return value;
}

} // namespace

StringTable::StringTable() {
    m_rows.append(QStringList(m_colCount));
}

void StringTable::setColCount(int count) {
    m_colCount = std::max(count, 1);
    for (QStringList& row : m_rows)
        row.resize(m_colCount);
}

void StringTable::setRowCount(int count) {
    m_rows.resize(std::max(count, 1), QStringList(m_colCount));
}

QString StringTable::cell(int col, int row) const {
    if (row < 0 || row >= rowCount() || col < 0 || col >= m_colCount)
        return QString();
    return m_rows[row][col];
}

void StringTable::setCell(int col, int row, const QString& text) {
    if (row < 0 || row >= rowCount() || col < 0 || col >= m_colCount)
        return;
    m_rows[row][col] = text;
}

void StringTable::deleteRow(int row) {
    if (row < 0 || row >= rowCount() || rowCount() == 1)
        return;
    m_rows.removeAt(row);
}

QByteArray StringTable::toText() const {
    QByteArray text =
        QByteArray::number(m_colCount) + "\r\n" + QByteArray::number(rowCount()) + "\r\n";
    for (int col = 0; col < m_colCount; ++col)
        for (const QStringList& row : m_rows) {
            // A line break inside a cell would shift every cell after it.
            QByteArray line = row[col].toUtf8();
            line.replace('\r', ' ').replace('\n', ' ');
            text += line + "\r\n";
        }
    return text;
}

void StringTable::fromText(const QByteArray& text) {
    QList<QByteArrayView> lines;
    qsizetype at = 0;
    while (at < text.size()) {
        qsizetype lf = text.indexOf('\n', at);
        const qsizetype next = lf < 0 ? text.size() : lf + 1;
        if (lf < 0)
            lf = text.size();
        else if (lf > at && text[lf - 1] == '\r')
            --lf;
        lines.append(QByteArrayView(text.constData() + at, lf - at));
        at = next;
    }
    if (lines.isEmpty())
        throw EGridException("the file is empty");
    const int cols = count(lines[0], "column");
    if (lines.size() < 2)
        throw EGridException("the row count is missing or not a number");
    const int rows = count(lines[1], "row");
    // Checked before anything is made, so a false count cannot ask for more
    // memory than the file's own size.
    const qint64 cells = qint64(cols) * rows;
    if (cells > lines.size() - 2)
        throw EGridException(
            QString("the file ends after %1 of its %2 cells").arg(lines.size() - 2).arg(cells));
    QList<QStringList> loaded(rows, QStringList(cols));
    qsizetype line = 2;
    for (int col = 0; col < cols; ++col)
        for (int row = 0; row < rows; ++row)
            loaded[row][col] = decoded(lines[line++]);
    m_colCount = cols;
    m_rows = std::move(loaded);
}

void StringTable::SaveToFile(const QString& fileName) const {
    const QByteArray text = toText();
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        throw EGridException("the file could not be written");
}

void StringTable::LoadFromFile(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EGridException("the file could not be opened");
    const QByteArray text = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EGridException("the file could not be read");
    fromText(text);
}
