#include "ftp/rules/FailureCauses.h"

#include "ftp/component/FtpEngine.h"
#include "ftp/component/Transcript.h"
#include "ftp/component/sftp/SftpEngine.h"

#include <cerrno>
#include <cstring>

namespace causes {

namespace {

using ftp::FailureKind;

// "30", "0.5": seconds as the user reads them.
QString seconds(int ms) {
    return QString::number(ms / 1000.0);
}

QString serverSaid(const QString& reply) {
    return QStringLiteral("サーバーの応答: ") + reply;
}

// The common reasons a local file operation fails, by the system's error number. Each
// is matched by the system's own text for it and by that text in English, which is how
// Qt words it where the system gives none.
struct KnownReason {
    int code;
    const char* english;
    const char* japanese;
};
const KnownReason kReasons[] = {
    {ENOSPC, "No space left on device", "ディスクがいっぱいです"},
    {EDQUOT, "Disk quota exceeded", "ディスクの割り当てを使い切りました"},
    {EACCES, "Permission denied", "アクセスが許可されていません"},
    {EPERM, "Operation not permitted", "操作が許可されていません"},
    {EROFS, "Read-only file system", "書き込みのできないファイルシステムです"},
    {ENOENT, "No such file or directory", "ファイルかフォルダーがありません"},
    {EISDIR, "Is a directory", "フォルダーです"},
    {ENOTDIR, "Not a directory", "パスの途中がフォルダーではありません"},
    {ENAMETOOLONG, "File name too long", "名前が長すぎます"},
    {EEXIST, "File exists", "同じ名前のものがすでにあります"},
    {EIO, "Input/output error", "ディスクの読み書きに失敗しました"},
    // The local lists' own words for a drive or folder they cannot open.
    {0, "Device not available", "デバイスが使えません"},
    {0, "Disk not ready", "ディスクの準備ができていません"},
    {0, "Path not found", "フォルダーが見つかりません"},
    {0, "Not a folder", "フォルダーではありません"},
};

bool mentions(const QString& text, const char* phrase) {
    return phrase && *phrase && text.contains(QString::fromLocal8Bit(phrase), Qt::CaseInsensitive);
}

// The system's text after the engine's "<what went wrong>: ".
QString systemTextOf(const QString& message) {
    const qsizetype colon = message.lastIndexOf(QLatin1String(": "));
    return colon < 0 ? message : message.mid(colon + 2);
}

QString ofLocalMessage(const QString& message) {
    if (message.contains(QLatin1String("line break or a NUL")))
        return QStringLiteral("改行か NUL 文字を含む名前やコマンドは送れません。");
    if (message.contains(QLatin1String("cannot carry")))
        return QStringLiteral("サーバーの文字コードで表せない文字が含まれています。");
    if (message.contains(QLatin1String("names a folder, not a file")))
        return QStringLiteral("保存先がフォルダーのままで、ファイル名がありません。");
    if (message.endsWith(QLatin1String("is not a file.")))
        return QStringLiteral("送るファイルがありません（ファイルではないか、見つかりません）。");
    if (message.contains(QLatin1String("needs a local file")))
        return QStringLiteral("このコマンドはファイルを送るためのものです。アップロードを使ってください。");
    if (message.startsWith(QLatin1String("Cannot write")) ||
        message.startsWith(QLatin1String("Cannot create")) || message.startsWith(QLatin1String("Cannot put")))
        return ofLocalFile(FileAccess::Write, systemTextOf(message));
    if (message.startsWith(QLatin1String("Cannot open")) || message.startsWith(QLatin1String("Cannot read")))
        return ofLocalFile(FileAccess::Read, systemTextOf(message));
    return message;
}

} // namespace

QString localReason(const QString& systemText) {
    for (const KnownReason& reason : kReasons) {
        if ((reason.code != 0 && mentions(systemText, std::strerror(reason.code))) ||
            mentions(systemText, reason.english))
            return QString::fromUtf8(reason.japanese);
    }
    return systemText;
}

QString ofLocalFolder(const QString& systemText) {
    const qsizetype colon = systemText.indexOf(QLatin1String(": "));
    const QString where = colon < 0 ? QString() : systemText.mid(colon + 2);
    const QString reason = localReason(colon < 0 ? systemText : systemText.left(colon));
    return where.isEmpty() ? reason : QStringLiteral("%1: %2").arg(reason, where);
}

QString ofLocalFile(FileAccess access, const QString& systemText) {
    const QString what = access == FileAccess::Write ? QStringLiteral("ローカルのファイルに書き込めません")
                                                     : QStringLiteral("ローカルのファイルを読めません");
    const QString reason = localReason(systemText.trimmed());
    return reason.isEmpty() ? QString(what + u'。') : QString(what + QStringLiteral(": ") + reason);
}

QString ofError(const ftp::FtpError& error) {
    const ftp::FailureDetail& detail = error.detail();
    switch (detail.kind) {
    case FailureKind::NotConnected:
        return QStringLiteral("サーバーに接続していません。");
    case FailureKind::Timeout:
        return detail.timeoutMs > 0 ? QStringLiteral("サーバーの応答がタイムアウトしました（%1 秒）")
                                          .arg(seconds(detail.timeoutMs))
                                    : QStringLiteral("サーバーの応答がタイムアウトしました");
    case FailureKind::Closed:
        return QStringLiteral("サーバーとの接続が切れました。");
    case FailureKind::Garbage:
        return QStringLiteral("サーバーの応答を FTP として読めません。");
    case FailureKind::Network:
        return QStringLiteral("ネットワークのエラーでサーバーと通信できません。");
    case FailureKind::Refused:
        return detail.serverReply.isEmpty() ? QStringLiteral("サーバーとの転送が最後まで終わりませんでした。")
                                            : serverSaid(detail.serverReply);
    case FailureKind::Local:
        return ofLocalMessage(error.message());
    case FailureKind::Cancelled:
        return QStringLiteral("中止しました。");
    case FailureKind::Unknown:
        break;
    }
    return error.message();
}

QString ofException(const std::exception& error) {
    if (const auto* ftpError = dynamic_cast<const ftp::FtpError*>(&error))
        return ofError(*ftpError);
    if (dynamic_cast<const std::bad_alloc*>(&error))
        return QStringLiteral("メモリが足りません。");
    return QString::fromLocal8Bit(error.what());
}

namespace {
// The engine's own words, on a line of their own; nothing when it said nothing.
QString engineSaid(const ftp::FtpError& last) {
    return last.message().isEmpty() ? QString() : u'\n' + last.message();
}
} // namespace

QString ofConnect(int result, const ftp::FtpError& last, const QString& server) {
    const QString reply = last.detail().serverReply;
    const QString withReply = reply.isEmpty() ? QString() : u'\n' + serverSaid(reply);
    // Whether the component said how this attempt ended; one that did not leaves the
    // general sentence.
    const bool told = last.detail().connectResult == result;
    switch (result) {
    case ftp::ConnectOk:
        return QString();
    case ftp::ConnectHostNotFound:
        return QStringLiteral("サーバー名「%1」が見つかりません（名前を引けません）。").arg(server);
    case ftp::ConnectRefused:
        return QStringLiteral("サーバーが接続を拒否しました（そのポートで待つサーバーがありません）。");
    case ftp::ConnectTimedOut:
        return last.detail().timeoutMs > 0 ? QStringLiteral("接続がタイムアウトしました（%1 秒）")
                                                 .arg(seconds(last.detail().timeoutMs))
                                           : QStringLiteral("接続がタイムアウトしました");
    case ftp::ConnectGreetingRefused:
        return reply.isEmpty() && told ? QStringLiteral("サーバーが応答の前に接続を切りました。")
                                       : QStringLiteral("サーバーが接続を断りました。") + withReply;
    case ftp::ConnectLoginRefused:
        return reply.isEmpty() && told
                   ? QStringLiteral("ユーザー名かパスワードに送れない文字（改行や、この文字コードにない文字）"
                                    "があります。")
                   : QStringLiteral("ユーザー名かパスワードが受け付けられませんでした。") + withReply;
    case ftp::ConnectProtocolError:
        return reply.isEmpty() && told
                   ? QStringLiteral("ログインの途中でサーバーとのやり取りが続けられなくなりました。")
                   : QStringLiteral("サーバーの応答を FTP として読めません。") + withReply;
    case ftp::ConnectBadServerName:
        return QStringLiteral("サーバー名が正しくありません（空か、ポート番号が使えません）。");
    case ftp::ConnectNetworkError:
        return QStringLiteral("ネットワークのエラーでサーバーに届きません。");
    case ftp::ConnectCancelled:
        return QStringLiteral("接続を中止しました。");
    case ftp::ConnectTlsFailed:
        return QStringLiteral("暗号化（TLS）の接続を確立できませんでした。") + engineSaid(last);
    case ftp::ConnectCertificateRefused:
        return QStringLiteral(
                   "サーバーの証明書を信頼できないため、接続しませんでした（パスワードは送っていません）。") +
               engineSaid(last);
    case ftp::ConnectClearTextRefused:
        return QStringLiteral(
                   "サーバーが暗号化（TLS）に応じないため、接続しませんでした（パスワードは送っていま"
                   "せん）。") +
               withReply;
    case ftp::ConnectTlsDowngrade:
        return QStringLiteral(
                   "以前は暗号化（TLS）で接続したサーバーが、暗号化に応じませんでした。通信が途中で"
                   "すり替えられているおそれがあるため、接続しませんでした（パスワードは送っていませ"
                   "ん）。") +
               withReply;
    case ftp::ConnectHostKeyRefused:
        return QStringLiteral("サーバーの鍵を信頼できないため、接続しませんでした（パスワードは送っていません）。") +
               engineSaid(last);
    default:
        break;
    }
    return QStringLiteral("接続できませんでした（結果 %1）。").arg(result) + engineSaid(last);
}

bool needsTranscriptNote(int result, const ftp::FtpError& last) {
    return result != ftp::ConnectOk && last.detail().connectResult == result &&
           last.detail().serverReply.isEmpty();
}

QString ofRefusal(const QString& replyText) {
    const QString line = QString(replyText).replace(u'\n', u' ').trimmed();
    return line.isEmpty() ? QStringLiteral("サーバーが断りました（応答はありません）。") : serverSaid(line);
}

QString ofConsoleCommand(const QString& line, const QString& cause) {
    return QStringLiteral("失敗したコマンド: %1\n%2").arg(ftp::Transcript::maskedCommand(line), cause);
}

} // namespace causes
