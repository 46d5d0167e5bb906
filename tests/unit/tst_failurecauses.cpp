// The causes the window shows beside a failure: every Connect result, every kind of
// engine failure, and the common local file errors, in Japanese.
#include "ftp/component/FtpEngine.h"
#include "ftp/component/Transcript.h"
#include "ftp/rules/FailureCauses.h"

#include <QTest>

#include <cerrno>
#include <cstring>

using ftp::FailureDetail;
using ftp::FailureKind;
using ftp::FtpError;

namespace {

FtpError failure(FailureKind kind, const QString& message = QStringLiteral("raw"), const QString& reply = {},
                 int timeoutMs = 0) {
    FailureDetail detail(kind, timeoutMs);
    detail.serverReply = reply;
    return FtpError(message, detail);
}

FtpError connectTold(int result, const QString& reply = {}, int timeoutMs = 0) {
    FailureDetail detail(FailureKind::Unknown, timeoutMs);
    detail.connectResult = result;
    detail.serverReply = reply;
    return FtpError(QStringLiteral("connect failed"), detail);
}

bool isJapanese(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() >= 0x3000)
            return true;
    return false;
}

} // namespace

class FailureCausesTest : public QObject {
    Q_OBJECT

private slots:
    void everyConnectResultReadsAsASentence() {
        QCOMPARE(causes::ofConnect(ftp::ConnectOk, FtpError(QString()), QString()), QString());
        for (int result = ftp::ConnectHostNotFound; result <= ftp::ConnectNetworkError; ++result) {
            const QString cause =
                causes::ofConnect(result, connectTold(result), QStringLiteral("ftp.example"));
            QVERIFY2(isJapanese(cause), qPrintable(cause));
            QVERIFY2(!cause.contains(QLatin1String("connect failed")), qPrintable(cause));
        }
        QVERIFY(causes::ofConnect(ftp::ConnectHostNotFound, connectTold(1), QStringLiteral("ftp.example"))
                    .contains(QStringLiteral("ftp.example")));
        QCOMPARE(causes::ofConnect(ftp::ConnectTimedOut, connectTold(3, {}, 30'000), QString()),
                 QStringLiteral("接続がタイムアウトしました（30 秒）"));
        // A refusal quotes the server's own line.
        const QString login = causes::ofConnect(ftp::ConnectLoginRefused,
                                                connectTold(5, QStringLiteral("530 Login incorrect.")), {});
        QVERIFY(login.endsWith(QStringLiteral("サーバーの応答: 530 Login incorrect.")));
        // A result no sentence is known for still says the number and what the component knew.
        const QString odd = causes::ofConnect(42, FtpError(QStringLiteral("odd")), {});
        QVERIFY(odd.contains(QStringLiteral("42")) && odd.contains(QStringLiteral("odd")));
        // TLS failures name what failed beside the fixed sentence.
        for (const int result : {int(ftp::ConnectTlsFailed), int(ftp::ConnectCertificateRefused)}) {
            const QString tls = causes::ofConnect(result, connectTold(result), {});
            QVERIFY2(isJapanese(tls) && !tls.contains(QStringLiteral("結果")) &&
                         tls.endsWith(QStringLiteral("\nconnect failed")),
                     qPrintable(tls));
        }
    }

    void transcriptNoteOnlyWhenNoReplySaidWhy() {
        QVERIFY(causes::needsTranscriptNote(ftp::ConnectRefused, connectTold(ftp::ConnectRefused)));
        QVERIFY(
            causes::needsTranscriptNote(ftp::ConnectTimedOut, connectTold(ftp::ConnectTimedOut, {}, 500)));
        QVERIFY(!causes::needsTranscriptNote(
            ftp::ConnectLoginRefused, connectTold(ftp::ConnectLoginRefused, QStringLiteral("530 No."))));
        QVERIFY(!causes::needsTranscriptNote(ftp::ConnectOk, connectTold(ftp::ConnectOk)));
        // A component that told nothing about the attempt gets no note made up for it.
        QVERIFY(!causes::needsTranscriptNote(ftp::ConnectLoginRefused, FtpError(QString())));
    }

    void everyFailureKindReadsAsASentence() {
        QCOMPARE(causes::ofError(failure(FailureKind::Refused, QStringLiteral("Download failed"),
                                         QStringLiteral("550 /pub/x: No such file or directory"))),
                 QStringLiteral("サーバーの応答: 550 /pub/x: No such file or directory"));
        QCOMPARE(causes::ofError(failure(FailureKind::Timeout, {}, {}, 30'000)),
                 QStringLiteral("サーバーの応答がタイムアウトしました（30 秒）"));
        QVERIFY(
            causes::ofError(failure(FailureKind::Timeout, {}, {}, 500)).contains(QStringLiteral("0.5 秒")));
        for (FailureKind kind : {FailureKind::NotConnected, FailureKind::Closed, FailureKind::Garbage,
                                 FailureKind::Network, FailureKind::Refused}) {
            const QString cause = causes::ofError(failure(kind));
            QVERIFY2(isJapanese(cause) && !cause.contains(QLatin1String("raw")), qPrintable(cause));
        }
        // Nothing known: the raw text as the last resort.
        QCOMPARE(causes::ofError(FtpError(QStringLiteral("Out of memory."))),
                 QStringLiteral("Out of memory."));
        QCOMPARE(causes::ofException(std::runtime_error("boom")), QStringLiteral("boom"));
    }

    void localFileErrors() {
        const QString full = QString::fromLocal8Bit(std::strerror(ENOSPC));
        QCOMPARE(causes::ofError(
                     failure(FailureKind::Local, QStringLiteral("Cannot write \"/dl/a.txt\": ") + full)),
                 QStringLiteral("ローカルのファイルに書き込めません: ディスクがいっぱいです"));
        QCOMPARE(causes::ofError(failure(FailureKind::Local,
                                         QStringLiteral("Cannot open \"/up/a.txt\": Permission denied"))),
                 QStringLiteral("ローカルのファイルを読めません: アクセスが許可されていません"));
        QCOMPARE(
            causes::ofLocalFile(causes::FileAccess::Write, QStringLiteral("Read-only file system")),
            QStringLiteral("ローカルのファイルに書き込めません: 書き込みのできないファイルシステムです"));
        QCOMPARE(causes::localReason(QStringLiteral("Something else")), QStringLiteral("Something else"));
        QCOMPARE(causes::ofLocalFolder(QStringLiteral("Disk not ready: /media/cd")),
                 QStringLiteral("ディスクの準備ができていません: /media/cd"));
        QVERIFY(isJapanese(causes::ofError(
            failure(FailureKind::Local, QStringLiteral("The path holds a line break or a NUL character.")))));
    }

    void refusalsAndTheConsole() {
        QCOMPARE(causes::ofRefusal(QStringLiteral("550-No\n550 such file")),
                 QStringLiteral("サーバーの応答: 550-No 550 such file"));
        QVERIFY(isJapanese(causes::ofRefusal(QString())));
        QCOMPARE(
            causes::ofConsoleCommand(QStringLiteral("HELP"), QStringLiteral("サーバーに接続していません。")),
            QStringLiteral("失敗したコマンド: HELP\nサーバーに接続していません。"));
        // The transcript's masking, also for the SITE verbs that change a password.
        for (const char* line : {"pass a", "SITE PSWD a b", " site\tpasswd a", "Site ChPass bob a"})
            QVERIFY2(!causes::ofConsoleCommand(QString::fromUtf8(line), {}).contains(u" a"), line);
        QCOMPARE(ftp::Transcript::maskedCommand(QStringLiteral("site pswd a b")),
                 QStringLiteral("SITE PSWD ****"));
        QCOMPARE(ftp::Transcript::maskedCommand(QStringLiteral("SITE CHMOD 6 a")),
                 QStringLiteral("SITE CHMOD 6 a"));
    }
};

QTEST_GUILESS_MAIN(FailureCausesTest)
#include "tst_failurecauses.moc"
