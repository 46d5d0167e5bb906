#include "platform/ras/RasErrors.h"

namespace ras {

namespace {

// pppd's exit statuses, pppd(8) "EXIT STATUS".
QString pppdExitText(DWORD status) {
    switch (status) {
    case 0:
        return QStringLiteral("接続しました。");
    case 1:
        return QStringLiteral("pppd で致命的なエラーが発生しました。");
    case 2:
        return QStringLiteral("pppd のオプションに誤りがあります。ピアの設定を確認してください。");
    case 3:
        return QStringLiteral(
            "pppd を実行する権限がありません。root で実行するか、グループ dip に属している必要があります。");
    case 4:
        return QStringLiteral("カーネルが PPP に対応していません。");
    case 5:
        return QStringLiteral("pppd がシグナルを受けて終了しました。");
    case 6:
        return QStringLiteral("シリアルポートをロックできませんでした。");
    case 7:
        return QStringLiteral("シリアルポートを開けませんでした。");
    case 8:
        return QStringLiteral("接続スクリプトが失敗しました。");
    case 9:
        return QStringLiteral("pty オプションのコマンドを実行できませんでした。");
    case 10:
        return QStringLiteral("PPP のネゴシエーションに失敗しました。");
    case 11:
        return QStringLiteral("接続先の認証に失敗しました。");
    case 12:
        return QStringLiteral("アイドル時間を超えたため切断されました。");
    case 13:
        return QStringLiteral("接続時間の上限に達したため切断されました。");
    case 14:
        return QStringLiteral("コールバックが取り決められました。まもなく着信があります。");
    case 15:
        return QStringLiteral("接続先がエコー要求に応答しないため切断されました。");
    case 16:
        return QStringLiteral("モデムが回線を切断しました。");
    case 17:
        return QStringLiteral("シリアルループバックが検出されたため、PPP のネゴシエーションに失敗しました。");
    case 18:
        return QStringLiteral("初期化スクリプトが失敗しました。");
    case 19:
        return QStringLiteral("接続先での認証に失敗しました。ユーザー名とパスワードを確認してください。");
    default:
        return QString();
    }
}

QString ownText(DWORD code) {
    switch (code) {
    case kErrorInvalidParameter:
        return QStringLiteral("パラメーターが正しくありません。");
    case kErrorNotSupported:
        return QStringLiteral("このシステムではダイアルアップ接続を使用できません。");
    case kErrorBufferTooSmall:
        return QStringLiteral("バッファーが小さすぎます。");
    case kErrorBufferInvalid:
        return QStringLiteral("バッファーが正しくありません。");
    case kErrorCannotOpenPhonebook:
        return QStringLiteral("電話帳 (pppd のピアの設定) を開けません。");
    case kErrorCannotFindPhonebookEntry:
        return QStringLiteral("電話帳のエントリーが見つかりません。");
    case kErrorInvalidSize:
        return QStringLiteral("構造体のサイズが正しくありません。");
    case kErrorNoConnection:
        return QStringLiteral("接続していないか、接続は既に切れています。");
    case kErrorPppdMissing:
        return QStringLiteral("pppd がインストールされていません (Debian では ppp パッケージです)。");
    case kErrorPppdCrashed:
        return QStringLiteral("pppd が異常終了しました。");
    case kErrorDialTimeout:
        return QStringLiteral("時間内に接続できなかったため、ダイアルを中止しました。");
    case kErrorDialCancelled:
        return QStringLiteral("ダイアルを中止しました。");
    case kErrorPeerEntryIncomplete:
        return QStringLiteral("ピアの設定に \"plugin passwordfd.so\" と \"linkname\" の行がありません。root "
                              "以外で接続するには必要です。");
    default:
        return QString();
    }
}

} // namespace

bool isKnownError(DWORD code) {
    return code <= kLastPppdExitStatus || !ownText(code).isEmpty();
}

QString errorText(DWORD code) {
    if (code <= kLastPppdExitStatus)
        return pppdExitText(code);
    const QString text = ownText(code);
    if (!text.isEmpty())
        return text;
    return QStringLiteral("不明なエラーです (エラー番号 %1)。").arg(code);
}

} // namespace ras
