#include "platform/Codepage.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QStringList>

namespace codepage {

// ICU's "windows-31j" is Microsoft's CP932 (NEC and IBM extensions, the Windows
// mapping of wave dash and friends); fall back to Shift_JIS where it is unknown.
const char* encodingName() {
    static const char* name = QStringEncoder("windows-31j").isValid() ? "windows-31j" : "Shift_JIS";
    return name;
}

QString fromCp932(const QByteArray& bytes) {
    QStringDecoder decoder(encodingName());
    return decoder(bytes);
}

QByteArray toCp932(const QString& text) {
    QStringEncoder encoder(encodingName());
    return encoder(text);
}

QStringList splitLines(const QString& text) {
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c != u'\r' && c != u'\n')
            continue;
        lines.append(text.mid(start, i - start));
        if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines.append(text.mid(start));
    return lines;
}

} // namespace codepage
