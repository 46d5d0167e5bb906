#include "platform/AppPaths.h"

#include <QCoreApplication>
#include <QDir>
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

QString MyPath() {
    const QString& forced = applicationFolderOverride();
    return withTrailingSeparator(forced.isEmpty() ? QCoreApplication::applicationDirPath() : forced);
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
