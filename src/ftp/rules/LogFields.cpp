#include "ftp/rules/LogFields.h"

namespace logfields {

namespace {

bool isLineEnd(QChar c) {
    return c == u'\r' || c == u'\n';
}
bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

// Steps over one field terminator at `i`: a comma, CR LF, CR or LF.
qsizetype skipTerminator(const QString& text, qsizetype i) {
    if (i >= text.size())
        return i;
    if (text.at(i) == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
        return i + 2;
    return i + 1;
}

bool startsWithNumber(const QString& text, qsizetype i) {
    qsizetype j = i;
    while (j < text.size() && text.at(j).isDigit() && text.at(j).unicode() < 128)
        ++j;
    return j > i && j < text.size() && isBlank(text.at(j));
}

} // namespace

QStringList readFields(const QString& text, NumberSplit split) {
    QStringList fields;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        while (i < n && isBlank(text.at(i)))
            ++i;
        if (i < n && text.at(i) == u'"') {
            const qsizetype close = text.indexOf(u'"', i + 1);
            const qsizetype end = close < 0 ? n : close;
            fields.append(text.mid(i + 1, end - i - 1));
            i = end + 1;
            while (i < n && text.at(i) != u',' && !isLineEnd(text.at(i)))
                ++i;
            i = skipTerminator(text, i);
            continue;
        }
        if (split == NumberSplit::Yes && startsWithNumber(text, i)) {
            qsizetype j = i;
            while (!isBlank(text.at(j)))
                ++j;
            fields.append(text.mid(i, j - i));
            i = j; // the blanks are skipped as the next field's leading blanks
            continue;
        }
        qsizetype j = i;
        while (j < n && text.at(j) != u',' && !isLineEnd(text.at(j)))
            ++j;
        qsizetype end = j;
        while (end > i && isBlank(text.at(end - 1)))
            --end;
        fields.append(text.mid(i, end - i));
        i = skipTerminator(text, j);
    }
    return fields;
}

QString readLinesCrLf(const QString& text) {
    QString result;
    result.reserve(text.size() + text.size() / 16);
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (!isLineEnd(text.at(i)))
            continue;
        result += QStringView(text).mid(start, i - start);
        result += QLatin1String("\r\n");
        i = skipTerminator(text, i) - 1;
        start = i + 1;
    }
    if (start < n) {
        result += QStringView(text).mid(start);
        result += QLatin1String("\r\n");
    }
    return result;
}

QString fieldsAsPaneText(const QString& text) {
    const QStringList fields = readFields(text);
    QString pane;
    pane.reserve(text.size() + fields.size());
    for (const QString& field : fields) {
        pane += field;
        pane += QLatin1String("\r\n");
    }
    return pane;
}

QString tailAtLineStart(const QString& text, qsizetype maxChars) {
    if (text.size() <= maxChars)
        return text;
    qsizetype start = text.size() - maxChars;
    while (start < text.size() && !isLineEnd(text.at(start - 1)))
        ++start;
    if (start < text.size() && text.at(start - 1) == u'\r' && text.at(start) == u'\n')
        ++start;
    return text.mid(start);
}

} // namespace logfields
