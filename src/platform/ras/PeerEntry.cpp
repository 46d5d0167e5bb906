#include "platform/ras/PeerEntry.h"

namespace ras {

QStringList optionWords(const QByteArray& content) {
    const QString text = QString::fromLocal8Bit(content);
    QStringList words;
    QString word;
    bool inWord = false;
    QChar quote;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            else if (c == u'\\' && i + 1 < n)
                word += text.at(++i);
            else
                word += c;
            continue;
        }
        if (c.isSpace()) {
            if (inWord)
                words.append(word);
            word.clear();
            inWord = false;
            continue;
        }
        if (c == u'#' && !inWord) {
            while (i + 1 < n && text.at(i + 1) != u'\n')
                ++i;
            continue;
        }
        inWord = true;
        if (c == u'"' || c == u'\'')
            quote = c;
        else if (c == u'\\' && i + 1 < n)
            word += text.at(++i);
        else
            word += c;
    }
    if (inWord)
        words.append(word);
    return words;
}

PeerOptions readPeerOptions(const QByteArray& content) {
    PeerOptions options;
    const QStringList words = optionWords(content);
    for (qsizetype i = 0; i + 1 < words.size(); ++i) {
        if (words.at(i) == u"plugin") {
            const QString plugin = words.at(i + 1);
            if (plugin == u"passwordfd.so" || plugin.endsWith(u"/passwordfd.so"))
                options.loadsPasswordPlugin = true;
        } else if (words.at(i) == u"linkname") {
            options.linkname = words.at(i + 1);
        }
    }
    return options;
}

bool isPlainEntryName(const QString& name) {
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/') &&
           !name.contains(QChar(0));
}

} // namespace ras
