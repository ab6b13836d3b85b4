#include "social/SettingsLocation.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryFile>

QString SettingsLocation::iniPath() {
    return iniPath(currentContext());
}

QString SettingsLocation::tallyPath() {
    return tallyPath(currentContext());
}

QString SettingsLocation::iniPath(const Context& context) {
    return locate(context, iniFileName, context.configHome, ".config");
}

QString SettingsLocation::tallyPath(const Context& context) {
    return locate(context, tallyFileName, context.dataHome, ".local/share");
}

SettingsLocation::Context SettingsLocation::currentContext() {
    Context context;
    context.exeDir = QCoreApplication::applicationDirPath();
    const QString home = qEnvironmentVariable("HOME");
    context.home = home.isEmpty() ? QDir::homePath() : home;
    context.configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    context.dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    return context;
}

bool SettingsLocation::isWritableFolder(const QString& folder) {
    if (folder.isEmpty() || !QDir(folder).exists())
        return false;
    QTemporaryFile probe(QDir(folder).filePath(".climora-write-test-XXXXXX"));
    return probe.open(); // removed again when the probe goes
}

QString SettingsLocation::locate(const Context& context, const QString& fileName,
                                 const QString& xdgHome, const QString& homeRelative) {
    const bool exeDirWritable =
        context.writable ? context.writable(context.exeDir) : isWritableFolder(context.exeDir);
    if (exeDirWritable)
        return QDir(context.exeDir).filePath(fileName);

    // A relative XDG folder is invalid and must be ignored.
    const QString base = !xdgHome.isEmpty() && QDir::isAbsolutePath(xdgHome)
                             ? xdgHome
                             : QDir(context.home).filePath(homeRelative);
    const QString folder = QDir::cleanPath(QDir(base).filePath(folderName));
    QDir().mkpath(folder); // a failure shows later as a file that cannot be written
    return QDir(folder).filePath(fileName);
}
