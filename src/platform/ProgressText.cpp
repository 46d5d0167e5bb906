#include "platform/ProgressText.h"

namespace progresstext {

QString describe(const platform::CallInfo& info) {
    switch (info.kind) {
    case platform::CallKind::Connect:
        return QStringLiteral("接続中: ") + info.subject;
    case platform::CallKind::Listing:
        return QStringLiteral("一覧を取得中: ") + info.subject;
    case platform::CallKind::Download:
        return QStringLiteral("受信中: ") + info.subject;
    case platform::CallKind::Upload:
        return QStringLiteral("送信中: ") + info.subject;
    case platform::CallKind::Command:
        return QStringLiteral("コマンド送信中: ") + info.subject;
    case platform::CallKind::Dial:
        return QStringLiteral("ダイアル中: ") + info.subject;
    case platform::CallKind::Quick:
        break;
    }
    return QStringLiteral("処理中");
}

QString readableBytes(qint64 bytes) {
    static const char* const units[] = {"KB", "MB", "GB", "TB"};
    if (bytes < 1024)
        return QString::number(bytes) + QStringLiteral(" B");
    double value = double(bytes);
    int unit = -1;
    while (value >= 1024.0 && unit < 3) {
        value /= 1024.0;
        ++unit;
    }
    // Three significant digits: 1.23, 12.3, 123.
    const int decimals = value < 10.0 ? 2 : value < 100.0 ? 1 : 0;
    return QString::number(value, 'f', decimals) + u' ' + QLatin1String(units[unit]);
}

QString clockTime(qint64 seconds) {
    const qint64 h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
    const QString mmss =
        QStringLiteral("%1:%2")
            .arg(h > 0 ? QStringLiteral("%1").arg(m, 2, 10, QLatin1Char('0')) : QString::number(m))
            .arg(s, 2, 10, QLatin1Char('0'));
    return h > 0 ? QString::number(h) + u':' + mmss : mmss;
}

QString transferLine(qint64 done, qint64 total, qint64 elapsedMs) {
    QString line = readableBytes(done);
    if (total >= 0)
        line += QStringLiteral(" / ") + readableBytes(total);
    if (elapsedMs <= 0 || done <= 0)
        return line;
    const double perSecond = double(done) * 1000.0 / double(elapsedMs);
    line += QStringLiteral("　") + readableBytes(qint64(perSecond)) + QStringLiteral("/秒");
    if (total >= done && perSecond > 0)
        line += QStringLiteral("　残り ") + clockTime(qint64(double(total - done) / perSecond + 0.999));
    return line;
}

} // namespace progresstext
