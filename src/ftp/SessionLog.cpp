// The session log pane (LogTxt).
#include "ftp/SessionLog.h"

#include "app/frmTesselFTP.h"
#include "ftp/LogFields.h"
#include "platform/AppPaths.h"
#include "platform/Codepage.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QScrollBar>

namespace sessionlog {

QString readTranscript(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw ftp::FtpError(
            QStringLiteral("Cannot open the session log %1: %2").arg(path, file.errorString()));
    return codepage::fromCp932(file.readAll());
}

} // namespace sessionlog

void frmTesselFTP::LogTxt() {
    const QString transcript = sessionlog::readTranscript(apppaths::sessionLogPath());
    QString pane =
        logfields::fieldsAsPaneText(logfields::tailAtLineStart(transcript, sessionlog::kPaneLimitChars));
    pane.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    Text4->setPlainText(pane);
    Text4->verticalScrollBar()->setValue(Text4->verticalScrollBar()->maximum());
}
