// "サーバーへ接続" and "サーバーから切断".
#include "mainwindow/frmTesselFTP.h"

#include "ftp/rules/FailureCauses.h"
#include "platform/AppPaths.h"
#include "platform/CertificateBox.h"
#include "platform/HostKeyBox.h"
#include "platform/MessageBox.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScopeGuard>

ftp::FtpComponent& frmTesselFTP::session() {
    if (!FtpObj)
        throw ftp::FtpError(QStringLiteral("Not connected to a server."),
                            ftp::FailureDetail(ftp::FailureKind::NotConnected));
    return *FtpObj;
}

void frmTesselFTP::mnuConect_Click() {
    try {
        Text4->clear();
        FtpObj.reset(); // the instance of an earlier failed attempt goes first
        showSessionProtection();
        FtpObj = ftp::CreateObject(ftp::kFtpComponentId);
        FtpObj->setCertificatePrompt([this](const ftp::CertificateQuestion& question) {
            return platform::askAboutCertificate(this, question);
        });
        FtpObj->setClearTextPrompt([this](const ftp::ClearTextQuestion& question) {
            return platform::askAboutClearText(this, question);
        });
        FtpObj->setHostKeyPrompt([this](const ftp::HostKeyQuestion& question) {
            return platform::askAboutHostKey(this, question);
        });
        FtpObj->OpenLog(apppaths::sessionLogPath(), 0);
        RetCode = FtpObj->Connect(Combo1->currentText(), Combo2->currentText(), Combo5->currentText());
        if (RetCode != 0) {
            const ftp::FtpError why = FtpObj->lastError();
            const QString cause = causes::ofConnect(RetCode, why, Combo1->currentText());
            // Without a server reply the transcript would not say what went wrong.
            if (causes::needsTranscriptNote(RetCode, why))
                FtpObj->LogNote(QString(cause).replace(u'\n', u' '));
            setStatus(QStringLiteral("接続できませんでした。"), cause);
            LogTxt();
            return;
        }
        // From here on the session is open: whatever fails below (a listing, reading the
        // log), the menus offer "サーバーから切断", so the user can end it and connect again.
        const auto connectedMenus = qScopeGuard([this] { setConnectedMenus(true); });
        setStatus(QStringLiteral("接続成功。"));
        rememberLogin();
        showSessionProtection();
        DirList = FtpObj->GetDir(QString(), ftp::kFolderFlag);
        addNames(List1, DirList);
        DirList = FtpObj->GetDir(QString());
        addNames(List2, DirList);
        appendRemoteHistory(QStringLiteral("/"));
        LogTxt();
    } catch (const std::exception& e) {
        platform::FailureBox(this, QStringLiteral("ERROR !!"), causes::ofException(e));
    }
}

void frmTesselFTP::showSessionProtection() {
    const ftp::TlsStatus tls = FtpObj ? FtpObj->tlsStatus() : ftp::TlsStatus{};
    // The mark promises that nothing of the session crosses the network in clear.
    const bool locked = tls.encrypted && tls.dataEncrypted;
    QString description;
    if (locked)
        description = QStringLiteral("暗号化された接続（%1、%2）").arg(tls.protocol, tls.cipher);
    else if (tls.encrypted)
        description =
            QStringLiteral("ログインだけが暗号化された接続（ファイルは暗号化されずに転送されます）");
    LockMark->setVisible(locked);
    LockMark->setToolTip(description);
    LockMark->setAccessibleDescription(description);
    // The server box takes the focus, the mark does not: a screen reader hears it there.
    Combo1->setAccessibleDescription(description);
}

void frmTesselFTP::mnuClose_Click() {
    // A component that fails while closing still ends the session here: the user is
    // never left with a dead session behind a "connected" menu.
    try {
        if (FtpObj) {
            FtpObj->CloseLog();
            FtpObj->Close();
        }
    } catch (const std::exception&) {
    }
    FtpObj.reset();
    showSessionProtection();
    setStatus(QStringLiteral("切断しました"));
    List1->clear();
    List2->clear();
    Combo4->setEditText(QString());
    setConnectedMenus(false);
}

void frmTesselFTP::endLostSession() {
    const std::optional<ftp::FtpError> lost = FtpObj ? FtpObj->lostSession() : std::nullopt;
    if (!lost)
        return;
    mnuClose_Click();
    setStatus(QStringLiteral("接続が切れ、再接続できませんでした。"),
              causes::ofConnect(lost->detail().connectResult, *lost, Combo1->currentText()));
}
