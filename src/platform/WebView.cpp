#include "platform/WebView.h"

#include "platform/WebAddress.h"

#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QScrollBar>
#include <QTextDocument>

namespace platform {

namespace {

using webaddress::Content;
using webaddress::Kind;

constexpr int kTransferTimeoutMs = 30000;
constexpr int kMaxResourcesPerPage = 200;

QNetworkRequest requestFor(const QUrl& url) {
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("TesselFTP/1.0"));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(kTransferTimeoutMs);
    return request;
}

// Reads a local file whole, refusing what is not a file or is too big.
std::optional<QByteArray> readLocal(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > WebView::kMaxBytes)
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

QString shown(const QUrl& url) {
    return url.isLocalFile() ? url.toLocalFile() : url.toDisplayString();
}

} // namespace

WebView::WebView(QWidget* parent) : QTextBrowser(parent), network_(new QNetworkAccessManager(this)) {
    // Links are followed here, so that web pages and local files go the same way.
    setOpenLinks(false);
    setOpenExternalLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, &WebView::followLink);
}

WebView::~WebView() {
    stop();
}

void WebView::setWidth(int pixels) {
    resize(pixels, height());
}
void WebView::setHeight(int pixels) {
    resize(width(), pixels);
}

bool WebView::isLoading() const {
    return !pageReply_.isNull();
}

void WebView::Navigate(const QString& address) {
    address_ = address;
    emit navigateRequested(address);
    stop();
    const webaddress::Target target = webaddress::resolve(address);
    switch (target.kind) {
    case Kind::Blank:
        showBlank();
        break;
    case Kind::LocalFile:
        loadLocal(target.url);
        break;
    case Kind::Web:
        fetchPage(target.url);
        break;
    case Kind::Unsupported:
        showNote(QStringLiteral("このアドレスは表示できません。"), address);
        break;
    }
}

// Drops the page being fetched and everything it asked for.
void WebView::stop() {
    ++generation_;
    const QPointer<QNetworkReply> page = std::exchange(pageReply_, nullptr);
    const QList<QPointer<QNetworkReply>> resources = std::exchange(resourceReplies_, {});
    if (page)
        page->abort();
    for (const QPointer<QNetworkReply>& reply : resources)
        if (reply)
            reply->abort();
    pending_.clear();
    webResources_.clear();
    pageBytes_ = 0;
}

void WebView::loadLocal(const QUrl& url) {
    const QString path = url.toLocalFile();
    if (const std::optional<QByteArray> body = readLocal(path))
        display(*body, QByteArray(), url);
    else
        showNote(QStringLiteral("ページを開けません。"), path);
}

void WebView::fetchPage(const QUrl& url) {
    QNetworkReply* reply = network_->get(requestFor(url));
    pageReply_ = reply;
    const quint64 generation = generation_;
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64) {
        if (received > kMaxBytes) {
            reply->setProperty("tooLarge", true);
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, generation] { pageArrived(reply, generation); });
}

void WebView::pageArrived(QNetworkReply* reply, quint64 generation) {
    reply->deleteLater();
    if (generation != generation_)
        return;
    pageReply_ = nullptr;
    const QUrl url = reply->url();
    if (reply->property("tooLarge").toBool()) {
        showNote(QStringLiteral("ページが大きすぎるため表示できません。"), shown(url));
        return;
    }
    const QByteArray body = reply->readAll();
    // A server's own error page (404 and the like) is shown as it is; a failure without
    // any page gets a note.
    if (reply->error() != QNetworkReply::NoError && body.isEmpty()) {
        showNote(QStringLiteral("ページを表示できません。"), shown(url) + u'\n' + reply->errorString());
        return;
    }
    display(body, reply->rawHeader("Content-Type"), url);
}

void WebView::display(const QByteArray& body, const QByteArray& contentType, const QUrl& url) {
    page_ = url;
    pageBytes_ = body.size();
    switch (webaddress::classify(contentType, url, body)) {
    case Content::Html:
        html_ = webaddress::decodeText(body, contentType, true);
        render();
        break;
    case Content::Image:
        if (!url.isLocalFile())
            webResources_.insert(url.adjusted(QUrl::RemoveFragment), body);
        html_ = QStringLiteral("<img src=\"%1\">").arg(url.toString(QUrl::FullyEncoded).toHtmlEscaped());
        render();
        break;
    case Content::Text:
        html_.clear();
        freshDocument();
        setPlainText(webaddress::decodeText(body, contentType, false));
        break;
    case Content::Other:
        showNote(QStringLiteral("この種類のファイルは表示できません。"), shown(url));
        return;
    }
    if (url.hasFragment())
        scrollToAnchor(url.fragment(QUrl::FullyDecoded));
    emit loadFinished(true);
}

void WebView::showBlank() {
    page_ = QUrl();
    html_.clear();
    freshDocument();
    emit loadFinished(true);
}

void WebView::showNote(const QString& headline, const QString& detail) {
    page_ = QUrl();
    html_.clear();
    freshDocument();
    QString lines;
    for (const QString& line : detail.split(u'\n'))
        lines += QStringLiteral("<p style=\"color:#555555;\">%1</p>").arg(line.toHtmlEscaped());
    setHtml(QStringLiteral("<p style=\"font-size:large; font-weight:bold;\">%1</p>%2").arg(headline, lines));
    emit loadFinished(false);
}

// Every page gets a document of its own: pictures and style sheets the previous page
// left in the document's cache never show on the next one.
void WebView::freshDocument() {
    auto* document = new QTextDocument(this);
    document->setDefaultFont(font());
    document->setBaseUrl(page_.adjusted(QUrl::RemoveFragment));
    setDocument(document); // deletes the previous document, a child of this view
}

void WebView::render() {
    const int scrolled = verticalScrollBar()->value();
    freshDocument();
    document()->setHtml(html_);
    document()->setMetaInformation(QTextDocument::DocumentUrl, page_.toString());
    verticalScrollBar()->setValue(scrolled);
}

QVariant WebView::loadResource(int type, const QUrl& name) {
    const QUrl url = page_.resolved(name).adjusted(QUrl::RemoveFragment);
    if (url.scheme().compare(QLatin1String("data"), Qt::CaseInsensitive) == 0)
        return QVariant(); // the document decodes data: URLs itself
    // Anything refused gets an empty, non-null answer, so the document does not go
    // looking for it on disk itself.
    if (!webaddress::mayLoad(page_, url))
        return QByteArray();
    if (url.isLocalFile()) {
        const QByteArray bytes = readLocal(url.toLocalFile()).value_or(QByteArray());
        if (type == QTextDocument::StyleSheetResource)
            return webaddress::decodeText(bytes, QByteArray(), false);
        return bytes;
    }
    if (const auto found = webResources_.constFind(url); found != webResources_.cend()) {
        if (type == QTextDocument::StyleSheetResource)
            return webaddress::decodeText(*found, QByteArray(), false);
        return *found;
    }
    fetchResource(type, url);
    return QVariant(); // not here yet: shown when it arrives
}

void WebView::fetchResource(int type, const QUrl& url) {
    if (pending_.contains(url) || pending_.size() + webResources_.size() >= kMaxResourcesPerPage ||
        pageBytes_ >= kMaxBytesPerPage)
        return;
    pending_.insert(url);
    QNetworkReply* reply = network_->get(requestFor(url));
    resourceReplies_.append(reply);
    const quint64 generation = generation_;
    connect(reply, &QNetworkReply::downloadProgress, this,
            [this, reply, generation](qint64 received, qint64) {
                if (generation == generation_)
                    countResourceBytes(reply, received);
            });
    connect(reply, &QNetworkReply::finished, this, [this, reply, generation, type, url] {
        reply->deleteLater();
        if (generation != generation_)
            return;
        resourceReplies_.removeAll(reply);
        pending_.remove(url);
        const QByteArray body = reply->error() == QNetworkReply::NoError ? reply->readAll() : QByteArray();
        webResources_.insert(url, body);
        if (type == QTextDocument::StyleSheetResource) {
            render(); // style sheets apply while the page is laid out
        } else {
            document()->addResource(type, url, body);
            document()->markContentsDirty(0, document()->characterCount());
        }
        emit resourceLoaded(url);
    });
}

// Adds what has arrived for a resource to the page's bytes; past the page's budget every
// resource still on its way is dropped (they then show as missing).
void WebView::countResourceBytes(QNetworkReply* reply, qint64 received) {
    const qint64 counted = reply->property("counted").toLongLong();
    reply->setProperty("counted", received);
    pageBytes_ += received - counted;
    if (received > kMaxBytes)
        reply->abort();
    if (pageBytes_ <= kMaxBytesPerPage)
        return;
    // A copy: each abort finishes its reply at once, which takes it off the list.
    const QList<QPointer<QNetworkReply>> running = resourceReplies_;
    for (const QPointer<QNetworkReply>& other : running)
        if (other && other->isRunning())
            other->abort();
}

void WebView::followLink(const QUrl& link) {
    const QUrl target = page_.resolved(link);
    if (link.hasFragment() && target.adjusted(QUrl::RemoveFragment) == page_.adjusted(QUrl::RemoveFragment)) {
        scrollToAnchor(target.fragment(QUrl::FullyDecoded));
        return;
    }
    // A web page's link is followed only to another web page: the address is read again
    // as typed text below, and "c:/x", "abc:123/x" or a plain path would then name a file
    // on this computer.
    if (!page_.isEmpty() && !page_.isLocalFile() && !webaddress::isWebUrl(target))
        return;
    Navigate(target.toString(QUrl::FullyEncoded));
}

} // namespace platform
