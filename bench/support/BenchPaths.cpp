#include "bench/support/BenchPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace benchpaths {

QString ownFolder() {
    return QFileInfo(QFile::symLinkTarget("/proc/self/exe")).absolutePath();
}

QString defaultGame() {
    return QDir(ownFolder() + "/..").absoluteFilePath("climora");
}

QString defaultMinimal() {
    return QDir(ownFolder()).absoluteFilePath("bench_minimal_window");
}

QString privateCopy(const QString& program, QString* folder) {
    QTemporaryDir temp(QDir::tempPath() + "/climora-game-XXXXXX");
    if (!temp.isValid())
        return {};
    temp.setAutoRemove(false);
    const QString copy = temp.filePath(QFileInfo(program).fileName());
    if (!QFile::copy(program, copy)) {
        QDir(temp.path()).removeRecursively();
        return {};
    }
    QFile::setPermissions(copy, QFile::permissions(program));
    // The modules the program loads from its own folder, those there are.
    for (const char* name : {"climora-audio.so", "climora-router.so", "climora-dnssd.so"}) {
        const QString module = QFileInfo(program).dir().filePath(QString::fromLatin1(name));
        if (QFile::exists(module))
            QFile::copy(module, temp.filePath(QString::fromLatin1(name)));
    }
    if (folder)
        *folder = temp.path();
    return copy;
}

} // namespace benchpaths
