// The command console: "コマンド送信", Enter in Combo3 and Enter in Text2. Replies are
// read back from the session log, where the component writes every reply line.
#include "mainwindow/frmTesselFTP.h"

#include "ftp/rules/FailureCauses.h"
#include "ftp/rules/LogFields.h"
#include "ftp/rules/RemoteCommands.h"
#include "ftp/rules/SessionLog.h"
#include "platform/AppPaths.h"
#include "platform/CallOwner.h"
#include "platform/KeyPress.h"
#include "platform/MessageBox.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>

namespace {

QString readSessionLog() {
    return sessionlog::readTranscript(apppaths::sessionLogPath());
}

// The end of the log, enough to hold the last reply: what SIZE and PWD take their field
// from, read in the same short time however long the session has run.
QString readSessionLogEnd() {
    constexpr qint64 kLastReplyBytes = 64 * 1024;
    return sessionlog::readTranscript(apppaths::sessionLogPath(), kLastReplyBytes);
}

} // namespace

void frmTesselFTP::mnuCommand_Click() {
    using remotecmd::ConsoleRow;
    QString line;
    try {
        LogBuf.clear();
        Text2->clear();
        const QString typed = Combo3->currentText();
        const ConsoleRow row = remotecmd::consoleRow(typed);
        line = remotecmd::consoleLine(row, typed, Combo4->currentText(), MakeDirTxt->text());
        // Before sending.
        if (row == ConsoleRow::Rmd) {
            const auto answer = platform::MsgBox(this, QStringLiteral("デイレクトリを削除しますか？"),
                                                 platform::MsgButtons::YesNo);
            if (answer != platform::MsgResult::Yes) {
                Combo4->setEditText(RemoteDir);
                return;
            }
        }
        if (row != ConsoleRow::Size)
            Text4->clear();

        RetCode = session().Command(line);
        showConsoleReply(row, RetCode == remotecmd::kCommandSuccess);
    } catch (const std::exception& e) {
        // The one box of the console, whichever command failed: its cause names it.
        platform::FailureBox(this, QStringLiteral("SIZE コマンド　エラー !!"),
                             causes::ofConsoleCommand(line, causes::ofException(e)));
    }
}

// SIZE and PWD show the end of the server's reply, as the log holds it.
QString frmTesselFTP::consoleReplyField() {
    FtpObj->GetReply();
    LogLine = remotecmd::lastLogField(readSessionLogEnd(), LogLine);
    return LogLine;
}

// What the console shows once the server has answered the command of ROW.
void frmTesselFTP::showConsoleReply(remotecmd::ConsoleRow row, bool ok) {
    using remotecmd::ConsoleRow;
    switch (row) {
    case ConsoleRow::Size:
        if (ok) {
            setStatus(QStringLiteral("SIZEコマンドの送信完了です"));
            Text2->setText(consoleReplyField());
        } else {
            setStatus(QStringLiteral("SIZEコマンドの返信エラーです"), refusalCause());
        }
        Combo4->setEditText(RemoteDir);
        break;
    case ConsoleRow::Help:
        if (ok) {
            setStatus(QStringLiteral("HELPコマンドの送信完了です"));
            FtpObj->GetReply();
            LogBuf = logfields::readLinesCrLf(readSessionLog());
            // A very long log shows its end, as the log view does.
            showInLogPane(logfields::tailAtLineStart(LogBuf, sessionlog::kPaneLimitChars));
        } else {
            setStatus(QStringLiteral("HELPコマンドの送信エラーです"), refusalCause());
        }
        break;
    case ConsoleRow::Pwd:
        if (ok) {
            setStatus(QStringLiteral("PWDコマンドの送信完了です"));
            Text4->setPlainText(consoleReplyField());
        } else {
            setStatus(QStringLiteral("ＰＷＤコマンドの送信エラーです"), refusalCause());
        }
        break;
    case ConsoleRow::Mkd:
        if (ok) {
            setStatus(QStringLiteral("MKDコマンドの送信をしました。"));
            LogTxt();
        }
        break;
    case ConsoleRow::Rmd:
        if (ok) {
            setStatus(QStringLiteral("デイレクトリを削除しました。"));
            Combo4->setEditText(RemoteDir);
            Command1_Click(); // the removed folder leaves List1
        }
        break;
    case ConsoleRow::Cdup:
        if (ok) {
            setStatus(QStringLiteral("CDUPコマンドの送信をしました。"));
            LogTxt();
        }
        break;
    case ConsoleRow::Other:
        if (ok)
            setStatus(QStringLiteral("Send Command!!"));
        else
            setStatus(QStringLiteral("コマンドエラー"), refusalCause());
        LogTxt();
        break;
    }
}

// Enter sends the console command, whether or not "コマンド送信" is enabled; the key is
// then swallowed. Other keys are left to the box.
void frmTesselFTP::Combo3_KeyPress(int& KeyAscii) {
    if (KeyAscii != platform::kKeyEnter)
        return;
    KeyAscii = 0;
    mnuCommand_Click();
}

// Enter sends the size box's text as a command line; nothing is shown on success. With
// no session, or when the component fails, the same box as the other remote commands
// ("ERROR !!") tells the user instead of ending the program.
void frmTesselFTP::Text2_KeyPress(int& KeyAscii) {
    if (KeyAscii != platform::kKeyEnter)
        return;
    KeyAscii = 0;
    try {
        RetCode = session().Command(Text2->text());
    } catch (const std::exception& e) {
        platform::FailureBox(this, QStringLiteral("ERROR !!"), causes::ofException(e));
    }
}

void frmTesselFTP::connectConsoleKeys() {
    // An editable combo box takes the keys itself and hands them on to its line edit;
    // both are watched, so a key sent to either reaches the handler once.
    // Enter runs its handler when no other one runs (see CallOwner); it is swallowed
    // either way, as the handlers swallow it.
    const auto onEnter = [](std::function<void()> run) {
        return [run = std::move(run)](int& key) {
            if (key != platform::kKeyEnter)
                return;
            key = 0;
            run();
        };
    };
    const auto enter = [this](void (frmTesselFTP::*handler)(int&)) {
        return callOwner->waiting([this, handler] {
            int key = platform::kKeyEnter;
            (this->*handler)(key);
            endLostSession();
        });
    };
    auto* combo3Keys = new platform::KeyPressFilter(this, onEnter(enter(&frmTesselFTP::Combo3_KeyPress)));
    combo3Keys->watch(Combo3);
    combo3Keys->watch(Combo3->lineEdit());
    auto* text2Keys = new platform::KeyPressFilter(this, onEnter(enter(&frmTesselFTP::Text2_KeyPress)));
    text2Keys->watch(Text2);
}
