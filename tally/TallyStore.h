#pragma once

#include "tally/StringTable.h"
#include "tally/Tlzrw1.h"

#include <QString>

// The tally file: the text of the tally's table, packed by Tlzrw1. Reading
// and writing each go through a private temporary folder, never a file of
// the user's. A file that could not be read is kept beside it (its name +
// ".damaged") before the first write replaces it, so that saving never
// destroys what it held.
class TallyStore {
public:
    // The largest table text a tally file may hold. A real tally stays far
    // below it (a followed player takes about a hundred bytes); a file that
    // declares more is refused before it is unpacked.
    static constexpr qint64 MaxTallyText = qint64(2) << 20;

    TallyStore(const QString& path, int columns);

    QString path() const { return m_path; }
    bool exists() const;

    // Reads the table into `table`. False, with the text to show the player
    // in `error`, when the file cannot be read or holds no table of the
    // expected columns; `table` is then left as it was.
    bool read(StringTable& table, QString& error);
    // Writes the table; false when the file could not be written, which
    // leaves the previous file as it was.
    bool write(const StringTable& table);

private:
    bool keepUnreadableFile();

    QString m_path;
    int m_columns;
    Tlzrw1 m_packer;
    // The file on disk could not be read and is still in place.
    bool m_unreadable = false;
};
