#include "client/StatsStore.h"

#include "ui/Prompter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

constexpr int countFields = 10; // R B E C F1..F6
constexpr std::uint64_t maxBustingOutcomes = DiceCounts::outcomes * DiceCounts::maxCount;

QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// An unsigned decimal of at most `limit`; `why` tells what is wrong with it.
bool readNumber(const QByteArray& field, std::uint64_t limit, std::uint64_t& value, QString& why) {
    if (field.startsWith('-')) {
        why = "a negative number";
        return false;
    }
    if (field.isEmpty() || field.size() > 20) {
        why = field.isEmpty() ? "an empty field" : "a number too large";
        return false;
    }
    value = 0;
    for (char c : field) {
        if (c < '0' || c > '9') {
            why = "something that is not a number";
            return false;
        }
        const std::uint64_t digit = std::uint64_t(c - '0');
        if (value > (limit - digit) / 10) {
            why = "a number too large";
            return false;
        }
        value = value * 10 + digit;
    }
    return true;
}

// The ten counts of a "table" or "name" line, from fields[1].
bool readCounts(const QList<QByteArray>& fields, DiceCounts& counts, QString& why) {
    std::uint64_t* targets[countFields] = {&counts.rolls, &counts.busts, &counts.bustingOutcomes,
                                           &counts.columns};
    for (int face = 0; face < 6; ++face)
        targets[4 + face] = &counts.faces[face];
    for (int i = 0; i < countFields; ++i) {
        const std::uint64_t limit = i == 2 ? maxBustingOutcomes : DiceCounts::maxCount;
        if (!readNumber(fields[1 + i], limit, *targets[i], why))
            return false;
    }
    return true;
}

QByteArray countsText(const DiceCounts& c) {
    QByteArray line;
    for (std::uint64_t value : {c.rolls, c.busts, c.bustingOutcomes, c.columns})
        line += ' ' + QByteArray::number(quint64(value));
    for (std::uint64_t face : c.faces)
        line += ' ' + QByteArray::number(quint64(face));
    return line;
}

} // namespace

StatsStore::StatsStore(Prompter& prompter, const QString& path, QObject* parent)
    : QObject(parent), m_prompter(prompter), m_path(path) {}

QString StatsStore::besideTally(const QString& tallyPath) {
    return QFileInfo(tallyPath).dir().filePath(QString::fromLatin1(fileName));
}

const DiceRecord& StatsStore::totals() {
    load();
    return m_totals;
}

void StatsStore::addGame(const DiceRecord& game) {
    load();
    if (!m_totals.merge(game))
        return; // the totals reached their bound: they stay as they are
    emit changed();
    if (!m_keepOff)
        write();
}

QByteArray StatsStore::format(const DiceRecord& record) {
    QByteArray text = QByteArray(header) + '\n';
    text += "games " + QByteArray::number(quint64(record.games())) + '\n';
    text += "table" + countsText(record.table()) + '\n';
    for (const DiceRecord::Named& named : record.names())
        text += "name" + countsText(named.counts) + ' ' + named.name.toUtf8().toPercentEncoding() +
                '\n';
    return text + "end\n";
}

bool StatsStore::parse(const QByteArray& text, DiceRecord& record, QString& error) {
    QList<QByteArray> lines = text.split('\n');
    if (lines.first() != header) {
        error = lines.first().startsWith("Climora dice statistics ")
                    ? "it was written in a form this program does not know"
                    : "it is not a dice statistics file";
        return false;
    }
    DiceRecord read;
    bool ended = false;
    QString why;
    for (int n = 1; n < lines.size(); ++n) {
        const QByteArray& line = lines[n];
        const QString where = QString("line %1 holds ").arg(n + 1);
        // What follows the last line feed.
        if (n == lines.size() - 1 && line.isEmpty())
            break;
        if (ended) {
            error = "it goes on after its end";
            return false;
        }
        const QList<QByteArray> fields = line.split(' ');
        const QByteArray kind = fields.first();
        const bool expectGames = n == 1;
        const bool expectTable = n == 2;
        if (expectGames && kind == "games" && fields.size() == 2) {
            std::uint64_t games = 0;
            if (!readNumber(fields[1], DiceCounts::maxCount, games, why)) {
                error = where + why;
                return false;
            }
            read.setGames(games);
        } else if (expectTable && kind == "table" && fields.size() == 1 + countFields) {
            if (!readCounts(fields, read.table(), why)) {
                error = where + why;
                return false;
            }
        } else if (n > 2 && kind == "name" && fields.size() == 2 + countFields) {
            DiceCounts counts;
            if (!readCounts(fields, counts, why)) {
                error = where + why;
                return false;
            }
            const QByteArray utf8 = QByteArray::fromPercentEncoding(fields.last());
            const QString name = QString::fromUtf8(utf8);
            if (name.toUtf8() != utf8 || name.isEmpty() || name != DiceRecord::keptName(name)) {
                error = where + "a name that cannot be one";
                return false;
            }
            if (read.find(name)) {
                error = where + "a name given before";
                return false;
            }
            DiceCounts* slot = read.slot(name);
            if (!slot) {
                error = QString("it names more than %1 players").arg(DiceRecord::maxNames);
                return false;
            }
            *slot = counts;
        } else if (n > 2 && line == "end") {
            ended = true;
        } else {
            error = where + "something unexpected";
            return false;
        }
    }
    if (!ended) {
        error = "it ends early";
        return false;
    }
    const QString problem = read.problem();
    if (!problem.isEmpty()) {
        error = problem;
        return false;
    }
    record = std::move(read);
    return true;
}

void StatsStore::load() {
    if (m_loaded)
        return;
    m_loaded = true;
    QFile file(m_path);
    if (!file.exists())
        return;
    QString error;
    if (!file.open(QIODevice::ReadOnly)) {
        error = "it cannot be opened (" + file.errorString() + ")";
    } else {
        const QByteArray bytes = file.read(maxFileSize + 1);
        if (file.error() != QFileDevice::NoError)
            error = "it cannot be read (" + file.errorString() + ")";
        else if (bytes.size() > maxFileSize)
            error = QString("it is larger than %1 bytes").arg(maxFileSize);
        else
            parse(bytes, m_totals, error);
    }
    file.close();
    if (error.isEmpty())
        return;

    // The bad file is set aside, not destroyed; one set aside before goes.
    const QString aside = m_path + ".bad";
    QFile::remove(aside);
    QString kept;
    if (QFile::rename(m_path, aside)) {
        kept = "It was kept as \"" + shown(aside) + "\"";
    } else {
        m_keepOff = true;
        kept = "It could not be set aside, so it stays as it is and this run's games are not saved";
    }
    m_prompter.message("The dice statistics file \"" + shown(m_path) + "\" could not be read: " +
                       error + ". " + kept + "; the statistics start afresh.");
}

bool StatsStore::write() {
    QSaveFile out(m_path);
    if (out.open(QIODevice::WriteOnly)) {
        out.write(format(m_totals));
        if (out.commit())
            return true;
    }
    if (!m_writeFailureTold) {
        m_writeFailureTold = true;
        m_prompter.message("The dice statistics could not be saved to \"" + shown(m_path) +
                           "\": " + out.errorString() +
                           ". The game goes on; this run's games still count under \"All "
                           "games\".");
    }
    return false;
}
