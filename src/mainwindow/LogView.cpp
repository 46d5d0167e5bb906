// The session log pane (LogTxt).
#include "mainwindow/frmTesselFTP.h"

#include "ftp/rules/LogFields.h"
#include "ftp/rules/SessionLog.h"
#include "platform/AppPaths.h"

#include <QPlainTextEdit>
#include <QScrollBar>

void frmTesselFTP::LogTxt() {
    // At most two bytes per character: the tail read always holds the pane's share.
    const QString transcript =
        sessionlog::readTranscript(apppaths::sessionLogPath(), 2 * sessionlog::kPaneLimitChars);
    showInLogPane(
        logfields::fieldsAsPaneText(logfields::tailAtLineStart(transcript, sessionlog::kPaneLimitChars)));
}

void frmTesselFTP::showInLogPane(QString lines) {
    lines.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    Text4->setPlainText(lines);
    Text4->verticalScrollBar()->setValue(Text4->verticalScrollBar()->maximum());
}
