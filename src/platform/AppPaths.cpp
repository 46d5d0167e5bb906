#include "platform/AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace apppaths {

namespace {
QString& applicationFolderOverride() {
    static QString folder;
    return folder;
}
QString& sessionLogOverride() {
    static QString path;
    return path;
}
} // namespace

QString withTrailingSeparator(const QString& folder) {
    const QString native = QDir::toNativeSeparators(folder);
    if (native.endsWith(QDir::separator()))
        return native;
    return native + QDir::separator();
}

ProgramFolders programFolders(const QString& executableFolder, bool executableFolderWritable,
                              const QString& dataHome) {
    // An installed root keeps the program in PREFIX/bin and its files in PREFIX/share;
    // found relative to the executable, a relocated root works too.
    const QString shared = QDir::cleanPath(executableFolder + QStringLiteral("/../share/tesselftp"));
    if (executableFolderWritable && !QFileInfo(shared).isDir())
        return {withTrailingSeparator(executableFolder), QString()};
    return {withTrailingSeparator(dataHome + QStringLiteral("/TesselFTP")), withTrailingSeparator(shared)};
}

QString programFile(const ProgramFolders& folders, const QString& name) {
    const QString own = folders.application + name;
    if (!folders.installed() || QFileInfo::exists(own))
        return own;
    return folders.shared + name;
}

bool ensurePrivateFolder(const QString& folder) {
    if (QFileInfo(folder).isDir())
        return true;
    if (!QDir().mkpath(folder))
        return false;
    return QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

namespace {
ProgramFolders runningProgramFolders() {
    const QString& forced = applicationFolderOverride();
    if (!forced.isEmpty())
        return {withTrailingSeparator(forced), QString()};
    const QString executable = QCoreApplication::applicationDirPath();
    return programFolders(executable, QFileInfo(executable).isWritable(),
                          QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
}
} // namespace

QString MyPath() {
    const ProgramFolders folders = runningProgramFolders();
    if (folders.installed())
        ensurePrivateFolder(folders.application); // a failure surfaces when a file is written
    return folders.application;
}

QString programFile(const QString& name) {
    const ProgramFolders folders = runningProgramFolders();
    if (folders.installed())
        ensurePrivateFolder(folders.application);
    return programFile(folders, name);
}

QString sessionLogPath() {
    if (!sessionLogOverride().isEmpty())
        return sessionLogOverride();
#ifdef Q_OS_WIN
    return QStringLiteral("c:\\log.txt");
#else
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty())
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/TesselFTP/log.txt");
#endif
}

void overrideApplicationFolder(const QString& folder) {
    applicationFolderOverride() = folder;
}
void overrideSessionLogPath(const QString& path) {
    sessionLogOverride() = path;
}

} // namespace apppaths
