#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// One "ini" text file, read and written a key at a time. Sections start with
// a line "[name]", settings are lines "key=value"; section and key names
// match without regard to letter case, and the first section and the first
// key of a name count. Lines starting with ';' or '#' are comments.
//
// Every call opens, uses and closes the file. A write changes only the line
// of its key (or adds the key at the end of its section, or the section at
// the end of the file) and keeps every other byte: other sections and keys,
// comments, order and line endings. It goes through a temporary file beside
// the old one, renamed over it when complete, so a failed write leaves the
// previous file as it was. A missing or unreadable file reads as empty.
class IniFile {
public:
    explicit IniFile(const QString& path) : m_path(path) {}

    const QString& path() const { return m_path; }

    QString readString(const QString& section, const QString& key,
                       const QString& defaultValue) const;
    // A value that is not an integer (decimal, or hexadecimal after "$" or
    // "0x") gives the default.
    int readInteger(const QString& section, const QString& key, int defaultValue) const;
    // Return false when the file could not be read or written; the file is
    // then unchanged.
    bool writeString(const QString& section, const QString& key, const QString& value);
    bool writeInteger(const QString& section, const QString& key, int value);

    // The same rules on a file's content in memory.
    static std::optional<QString> lookup(const QByteArray& content, const QString& section,
                                         const QString& key);
    static QByteArray withValue(const QByteArray& content, const QString& section,
                                const QString& key, const QString& value);
    static std::optional<int> parseInteger(const QString& text);

private:
    QString m_path;
};
