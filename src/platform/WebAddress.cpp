#include "platform/WebAddress.h"

#include "platform/Codepage.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QStringDecoder>

namespace platform::webaddress {

namespace {

bool isWebScheme(const QString& scheme) {
    return scheme.compare(QLatin1String("http"), Qt::CaseInsensitive) == 0 ||
           scheme.compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
}

Target webTarget(const QUrl& url) {
    // A host is required, and QUrl accepts blanks inside a host in tolerant mode.
    if (!url.isValid() || url.host().isEmpty() || url.host().contains(u' '))
        return {Kind::Unsupported, url};
    return {Kind::Web, url};
}

// The value of a "charset" parameter in a Content-Type header or a <meta> tag, as the
// name a decoder is asked for.
QByteArray charsetAt(const QByteArray& text, qsizetype at) {
    qsizetype i = at + qsizetype(sizeof("charset") - 1);
    auto skipBlanks = [&] {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
    };
    skipBlanks();
    if (i >= text.size() || text[i] != '=')
        return {};
    ++i;
    skipBlanks();
    while (i < text.size() && (text[i] == '"' || text[i] == '\''))
        ++i;
    const qsizetype start = i;
    while (i < text.size()) {
        const char c = text[i];
        const bool nameChar = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                              c == '-' || c == '_' || c == '.' || c == ':';
        if (!nameChar)
            break;
        ++i;
    }
    return text.mid(start, i - start);
}

QByteArray headerCharset(const QByteArray& contentType) {
    const QByteArray lower = contentType.toLower();
    const qsizetype at = lower.indexOf("charset");
    return at < 0 ? QByteArray() : charsetAt(lower, at);
}

// The charset a page declares in a <meta> tag near its beginning.
QByteArray metaCharset(const QByteArray& body) {
    const QByteArray head = body.left(8192).toLower();
    for (qsizetype from = head.indexOf("<meta"); from >= 0; from = head.indexOf("<meta", from + 5)) {
        const qsizetype end = head.indexOf('>', from);
        const QByteArray tag = head.mid(from, end < 0 ? -1 : end - from);
        const qsizetype at = tag.indexOf("charset");
        if (at < 0)
            continue;
        const QByteArray name = charsetAt(tag, at);
        if (!name.isEmpty())
            return name;
    }
    return {};
}

bool decodeWith(const QByteArray& charset, const QByteArray& body, QString* text) {
    if (charset.isEmpty())
        return false;
    QStringDecoder decoder(charset.constData());
    if (!decoder.isValid())
        return false;
    *text = decoder.decode(body);
    return true;
}

// A stand-in name carrying only the suffix of the address's file name, for the type
// guess: Qt 6.4's MIME database crashes on names holding NUL bytes, and a name from a web
// address may hold anything once decoded. Empty when there is no plain suffix to go by.
QString nameForTypeGuess(const QUrl& url) {
    const QString name = url.fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0)
        return {};
    const QStringView suffix = QStringView(name).mid(dot + 1);
    constexpr qsizetype kLongestSuffix = 16;
    if (suffix.isEmpty() || suffix.size() > kLongestSuffix)
        return {};
    for (const QChar c : suffix) {
        if (c.unicode() > 0x7f || !(c.isLetterOrNumber() || c == u'_' || c == u'-'))
            return {};
    }
    return u"page." + suffix;
}

} // namespace

Target resolve(const QString& address) {
    const QString text = address.trimmed();
    if (text.isEmpty())
        return {Kind::Blank, {}};

    // A plain path: native absolute ("/home/a.htm", "C:\a.htm" on Windows) or the
    // Windows form "c:\dir\a.htm", which on other systems simply names no file.
    static const QRegularExpression windowsPath(QStringLiteral("^[A-Za-z]:[\\\\/]"));
    if (QDir::isAbsolutePath(text))
        return {Kind::LocalFile, QUrl::fromLocalFile(QDir::fromNativeSeparators(text))};
    if (windowsPath.match(text).hasMatch())
        return {Kind::LocalFile, QUrl::fromLocalFile(text)};

    static const QRegularExpression schemed(QStringLiteral("^([A-Za-z][A-Za-z0-9+.\\-]*):(.*)$"));
    if (const QRegularExpressionMatch m = schemed.match(text); m.hasMatch()) {
        const QString scheme = m.captured(1);
        const QString rest = m.captured(2);
        if (scheme.compare(QLatin1String("file"), Qt::CaseInsensitive) == 0) {
            const QUrl url(text);
            if (!url.isValid() || !url.isLocalFile() || url.toLocalFile().isEmpty())
                return {Kind::Unsupported, url};
            return {Kind::LocalFile, url};
        }
        if (isWebScheme(scheme))
            return webTarget(QUrl(text, QUrl::TolerantMode));
        // "localhost:8080/a.htm" is a host and a port, not a scheme.
        static const QRegularExpression port(QStringLiteral("^[0-9]+(/.*)?$"));
        if (!port.match(rest).hasMatch())
            return {Kind::Unsupported, QUrl(text)};
    }

    // A relative path to an existing file, then a host name typed without a scheme.
    if (QFileInfo(text).isFile())
        return {Kind::LocalFile, QUrl::fromLocalFile(QFileInfo(text).absoluteFilePath())};
    if (text.contains(u' '))
        return {Kind::Unsupported, {}};
    const QUrl guessed = QUrl::fromUserInput(text);
    if (isWebScheme(guessed.scheme()))
        return webTarget(guessed);
    return {Kind::Unsupported, guessed};
}

Content classify(const QByteArray& contentType, const QUrl& url, const QByteArray& body) {
    const QByteArray mime = contentType.split(';').constFirst().trimmed().toLower();
    if (mime.isEmpty() || mime == "application/octet-stream") {
        const QMimeDatabase database;
        const QString name = nameForTypeGuess(url);
        const QMimeType type =
            name.isEmpty() ? database.mimeTypeForData(body) : database.mimeTypeForFileNameAndData(name, body);
        if (type.inherits(QStringLiteral("text/html")) ||
            type.inherits(QStringLiteral("application/xhtml+xml")))
            return Content::Html;
        if (type.name().startsWith(QLatin1String("image/")))
            return Content::Image;
        if (type.inherits(QStringLiteral("text/plain")))
            return Content::Text;
        return Content::Other;
    }
    if (mime == "text/html" || mime == "application/xhtml+xml")
        return Content::Html;
    if (mime.startsWith("image/"))
        return Content::Image;
    if (mime.startsWith("text/"))
        return Content::Text;
    return Content::Other;
}

QString decodeText(const QByteArray& body, const QByteArray& contentType, bool html) {
    QString text;
    if (decodeWith(headerCharset(contentType), body, &text))
        return text;
    if (const auto bom = QStringConverter::encodingForData(body)) {
        QStringDecoder decoder(*bom);
        return decoder.decode(body);
    }
    if (html && decodeWith(metaCharset(body), body, &text))
        return text;
    QStringDecoder utf8(QStringConverter::Utf8);
    text = utf8.decode(body);
    if (!utf8.hasError())
        return text;
    return codepage::fromCp932(body);
}

bool isWebUrl(const QUrl& url) {
    return isWebScheme(url.scheme());
}

bool mayLoad(const QUrl& page, const QUrl& resource) {
    if (isWebScheme(resource.scheme()))
        return true;
    if (resource.isLocalFile())
        return page.isEmpty() || page.isLocalFile();
    return false;
}

} // namespace platform::webaddress
