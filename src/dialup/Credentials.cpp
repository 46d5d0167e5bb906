#include "dialup/Credentials.h"

#include "platform/Codepage.h"
#include "platform/ras/AnsiText.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

#include <cmath>

namespace credentials {

namespace {

using codepage::encodingName;

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

// The character with a CP932 code: one byte for 0 to 255, two bytes otherwise.
std::optional<QString> characterOfCode(qint16 code) {
    QByteArray bytes;
    if (code >= 0 && code <= 255) {
        if (ras::isLeadByte(uchar(code)))
            return std::nullopt;
        bytes.append(char(code));
    } else {
        const quint16 unsignedCode = quint16(code);
        if (!ras::isLeadByte(uchar(unsignedCode >> 8)))
            return std::nullopt;
        bytes.append(char(unsignedCode >> 8));
        bytes.append(char(unsignedCode & 0xFF));
    }
    QStringDecoder decoder(encodingName(), QStringConverter::Flag::Stateless);
    const QString text = decoder(bytes);
    if (decoder.hasError() || text.size() != 1 || text.at(0) == QChar::ReplacementCharacter)
        return std::nullopt;
    return text;
}

} // namespace

bool isPlaceholderPassword(const QString& password) {
    return password.isEmpty() || password == kPlaceholder || password == kClearedPassword ||
           password == kClearedFlag;
}

QList<qint16> characterCodes(const QString& text) {
    const QByteArray bytes = ras::toAnsi(text);
    QList<qint16> codes;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const uchar lead = uchar(bytes.at(i));
        if (ras::isLeadByte(lead) && i + 1 < bytes.size()) {
            codes.append(qint16(quint16((lead << 8) | uchar(bytes.at(i + 1)))));
            ++i;
        } else {
            codes.append(qint16(lead));
        }
    }
    return codes;
}

qint32 scrambleCode(qint16 code) {
    return (qint32(code) + 5) * 6 + 78;
}

QByteArray passwordFileBytes(const QString& password) {
    QByteArray bytes;
    for (const qint16 code : characterCodes(password)) {
        const qint32 number = scrambleCode(code);
        if (number >= 0)
            bytes += ' ';
        bytes += QByteArray::number(number) + " \r\n";
    }
    return bytes;
}

QByteArray settingsFileBytes(const QString& entry, const QString& user, const QString& flag) {
    return ras::toAnsi(entry) + "\r\n" + ras::toAnsi(user) + "\r\n" + ras::toAnsi(flag) + "\r\n";
}

double lineValue(const QString& line) {
    QByteArray number;
    bool digits = false;
    bool point = false;
    for (const QChar c : line) {
        if (isBlank(c))
            continue;
        if (number.isEmpty() && !digits && (c == u'-' || c == u'+')) {
            number += char(c.unicode());
            continue;
        }
        if (c >= u'0' && c <= u'9') {
            number += char(c.unicode());
            digits = true;
            continue;
        }
        if (c == u'.' && !point) {
            number += '.';
            point = true;
            continue;
        }
        break;
    }
    if (!digits)
        return 0;
    return number.toDouble();
}

std::optional<QString> decodePasswordLine(const QString& line) {
    const double code = std::nearbyint((lineValue(line) - 78) / 6 - 5); // halves to even
    if (!(code >= -32768 && code <= 32767))
        return std::nullopt;
    return characterOfCode(qint16(code));
}

bool fitsCodePage(const QString& text) {
    bool lossless = false;
    ras::toAnsi(text, &lossless);
    return lossless;
}

ReadLines readLines(const QString& path) {
    QFile file(path);
    if (!file.exists())
        return {{}, QStringLiteral("ファイルが見つかりません。")};
    if (!file.open(QIODevice::ReadOnly))
        return {{}, QStringLiteral("ファイルを開けません。(%1)").arg(file.errorString())};
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return {{}, QStringLiteral("ファイルを読み込めません。(%1)").arg(file.errorString())};
    return {codepage::splitLines(codepage::fromCp932(bytes)), std::nullopt};
}

std::optional<QString> writeWhole(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("ファイルを作成できません。(%1)").arg(file.errorString());
    // Owner-only before anything is written: the file holds a password.
    if (!file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        file.cancelWriting();
        return QStringLiteral("ファイルのアクセス権を設定できません。(%1)").arg(file.errorString());
    }
    if (file.write(bytes) != bytes.size() || !file.commit())
        return QStringLiteral("ファイルに書き込めません。(%1)").arg(file.errorString());
    return std::nullopt;
}

QString pastEndOfFile() {
    return QStringLiteral("ファイルの終わりを越えて読み込もうとしました。");
}

} // namespace credentials
