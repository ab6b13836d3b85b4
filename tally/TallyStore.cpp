#include "tally/TallyStore.h"

#include "tally/EGridException.h"
#include "tally/ELzrw1Exception.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

TallyStore::TallyStore(const QString& path, int columns) : m_path(path), m_columns(columns) {
    m_packer.CompressMode = TCompressMode::Fast;
}

bool TallyStore::exists() const {
    return !m_path.isEmpty() && QFile::exists(m_path);
}

bool TallyStore::read(StringTable& table, QString& error) {
    // The table text is unpacked into a private folder of its own, never into
    // a file of the user's, and removed with it.
    const QTemporaryDir work;
    try {
        if (!work.isValid())
            throw EGridException("no temporary folder could be made");
        const QString text = work.filePath(QStringLiteral("temp.txt"));
        m_packer.InputFile = m_path;
        m_packer.OutputFile = text;
        m_packer.MaxOriginalSize = MaxTallyText;
        m_packer.Decompress();
        StringTable loaded;
        loaded.LoadFromFile(text);
        if (loaded.colCount() != m_columns)
            throw EGridException(
                QString("it holds %1 columns instead of %2").arg(loaded.colCount()).arg(m_columns));
        table = loaded;
        return true;
    } catch (const ELzrw1Exception& e) {
        error = e.text();
    } catch (const EGridException& e) {
        error = QString("The tally file %1 could not be read: %2.").arg(m_path, e.text());
    }
    m_unreadable = true;
    return false;
}

bool TallyStore::write(const StringTable& table) {
    if (m_path.isEmpty())
        return false;
    const QTemporaryDir work;
    if (!work.isValid() || !keepUnreadableFile())
        return false;
    try {
        const QString text = work.filePath(QStringLiteral("temp.txt"));
        table.SaveToFile(text);
        // A table the next start would refuse is not written over a good one.
        if (QFileInfo(text).size() > MaxTallyText)
            return false;
        // The container is written beside the tally file and renamed over it
        // only when complete, so a failed save keeps the previous tally.
        m_packer.InputFile = text;
        m_packer.OutputFile = m_path;
        m_packer.Compress();
    } catch (const ELzrw1Exception&) {
        return false;
    } catch (const EGridException&) {
        return false;
    }
    return true;
}

// A tally file that could not be read may be only slightly damaged, or
// written by a later version: it holds the player's history, so it is
// copied aside before the first write replaces it. False when no copy could
// be made; the file then stays and nothing is written over it.
bool TallyStore::keepUnreadableFile() {
    if (!m_unreadable)
        return true;
    if (!QFile::exists(m_path)) {
        m_unreadable = false;
        return true;
    }
    const QString kept = m_path + QStringLiteral(".damaged");
    for (int n = 1; n <= 9; ++n) {
        const QString name = n == 1 ? kept : kept + QString::number(n);
        if (!QFile::exists(name) && QFile::copy(m_path, name)) {
            m_unreadable = false;
            return true;
        }
    }
    return false;
}
