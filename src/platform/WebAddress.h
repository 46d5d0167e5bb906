#pragma once
// How the browser view reads an address typed by the user: a blank page, a local file
// (a plain path or a file: URL), a web page (http, https) or something it cannot show.
// Plain functions, no widgets, so the rules are tested without a display.

#include <QByteArray>
#include <QString>
#include <QUrl>

namespace platform::webaddress {

enum class Kind {
    Blank,      // empty or blank text: an empty page
    LocalFile,  // a file on this computer; url is a file: URL
    Web,        // an http or https page; url is that address
    Unsupported // malformed, or a scheme the view does not show (ftp:, mailto:, ...)
};

struct Target {
    Kind kind = Kind::Blank;
    QUrl url;
};

// Reads the address as a desktop browser's address bar would: a plain path (native or
// Windows form "c:\dir\page.htm"), a file: URL, an http(s) URL, or a host name without
// a scheme ("www.example.com/a.htm" is taken as http).
Target resolve(const QString& address);

// What a fetched or read body is, from its Content-Type (may be empty), its name and
// its first bytes.
enum class Content { Html, Text, Image, Other };
Content classify(const QByteArray& contentType, const QUrl& url, const QByteArray& body);

// Decodes a page's text. The charset of the Content-Type wins, then a byte-order mark or
// a <meta> charset; without any of them UTF-8 is tried first and Shift_JIS (CP932) taken
// when the bytes are not valid UTF-8 (many Japanese pages declare nothing).
QString decodeText(const QByteArray& body, const QByteArray& contentType, bool html);

// Whether `url` is an http or https address.
bool isWebUrl(const QUrl& url);

// May a page at `page` use `resource` (an image, a style sheet, a followed link)? A web
// page never reaches files on this computer; a local page may use both.
bool mayLoad(const QUrl& page, const QUrl& resource);

} // namespace platform::webaddress
