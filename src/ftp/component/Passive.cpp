#include "ftp/component/Passive.h"

#include <QRegularExpression>

namespace ftp {

std::optional<quint16> epsvPort(const QString& replyText) {
    // The delimiter is whatever character follows the parenthesis; "|" is the usual one.
    const qsizetype open = replyText.indexOf(u'(');
    if (open < 0 || open + 4 >= replyText.size())
        return std::nullopt;
    const QChar d = replyText.at(open + 1);
    if (d.unicode() < 33 || d.unicode() > 126 || (d >= u'0' && d <= u'9'))
        return std::nullopt;
    if (replyText.at(open + 2) != d || replyText.at(open + 3) != d)
        return std::nullopt;
    qsizetype i = open + 4;
    int port = 0;
    int digits = 0;
    while (i < replyText.size() && replyText.at(i) >= u'0' && replyText.at(i) <= u'9' && digits < 6) {
        port = port * 10 + (replyText.at(i).unicode() - u'0');
        ++digits;
        ++i;
    }
    if (digits == 0 || i + 1 >= replyText.size() || replyText.at(i) != d || replyText.at(i + 1) != u')')
        return std::nullopt;
    if (port < 1 || port > 65535)
        return std::nullopt;
    return static_cast<quint16>(port);
}

std::optional<quint16> pasvPort(const QString& replyText) {
    static const QRegularExpression pattern(
        QStringLiteral("(\\d{1,3}),(\\d{1,3}),(\\d{1,3}),(\\d{1,3}),(\\d{1,3}),(\\d{1,3})"));
    const QRegularExpressionMatch match = pattern.match(replyText.mid(4));
    if (!match.hasMatch())
        return std::nullopt;
    for (int i = 1; i <= 6; ++i) {
        if (match.capturedView(i).toInt() > 255)
            return std::nullopt;
    }
    const int port = match.capturedView(5).toInt() * 256 + match.capturedView(6).toInt();
    if (port < 1)
        return std::nullopt;
    return static_cast<quint16>(port);
}

} // namespace ftp
