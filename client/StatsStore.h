#pragma once

#include "client/DiceRecord.h"

#include <QObject>
#include <QString>

class Prompter;

// The dice statistics of the games kept across runs, in a file of their own
// beside the tally file. It is read at first need and rewritten as a whole
// (a new file renamed over the old, so a failure leaves the old one as it
// was) each time a game is added.
//
// The file is UTF-8 text, one record per line, each line ended by a line
// feed, fields separated by one space:
//
//   Climora dice statistics 1
//   games G
//   table R B E C F1 F2 F3 F4 F5 F6
//   name R B E C F1 F2 F3 F4 F5 F6 NAME      (zero to 64 lines)
//   end
//
// G counts the games; R the rolls, B the rolls that fitted no column, E the
// sum over all rolls of the outcomes (of 1296) that would have fitted none,
// C the columns completed, F1 to F6 how often each face came up. Numbers
// are unsigned decimals: E at most 1296 * 2^53, all others at most 2^53.
// NAME is the player's name, percent-encoded UTF-8, never empty, at most a
// player name's length once decoded, each name once. Every line's counts
// agree (F1 + ... + F6 = 4R, B <= R, E <= 1296R) and the players' counts
// together stay within the table's. The "end" line marks a file written
// whole.
//
// The file is untrusted: one that is larger than maxFileSize or breaks any
// of these rules is set aside (its name + ".bad"), the player is told once,
// and the statistics start afresh. The tally file is never touched.
class StatsStore : public QObject {
    Q_OBJECT
public:
    static constexpr const char* fileName = "Climoradicestats.txt";
    static constexpr const char* header = "Climora dice statistics 1";
    static constexpr qint64 maxFileSize = 64 * 1024;

    StatsStore(Prompter& prompter, const QString& path, QObject* parent = nullptr);

    // The statistics file in the folder of the tally file.
    static QString besideTally(const QString& tallyPath);

    QString path() const { return m_path; }
    // The games kept so far, read from the file at the first call.
    const DiceRecord& totals();
    // Adds one game's record to the totals and writes the file. Failing to
    // write is told once; the totals still hold the game for this run.
    void addGame(const DiceRecord& game);

    // The file's text for a record, and the record in a text, or the
    // reason it cannot be one.
    static QByteArray format(const DiceRecord& record);
    static bool parse(const QByteArray& text, DiceRecord& record, QString& error);

signals:
    void changed();

private:
    void load();
    bool write();

    Prompter& m_prompter;
    QString m_path;
    DiceRecord m_totals;
    bool m_loaded = false;
    // A bad file could not be set aside: it is left in place, not written over.
    bool m_keepOff = false;
    bool m_writeFailureTold = false;
};
