#pragma once
// The browser area of the help window: a QTextBrowser that goes to an address by itself.
// Local files (plain paths and file: URLs) are read directly; http and https pages,
// and the images and style sheets they use, come through QNetworkAccessManager. What
// QTextBrowser cannot render is simply not shown. An empty address gives a blank page;
// a malformed or unreachable one a short note in the view, never a message box.

#include <QHash>
#include <QList>
#include <QPointer>
#include <QSet>
#include <QTextBrowser>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

namespace platform {

class WebView : public QTextBrowser {
    Q_OBJECT
public:
    explicit WebView(QWidget* parent = nullptr);
    ~WebView() override;

    // Goes to the address, taken as typed (see webaddress::resolve). Returns at once;
    // a web page appears when it has arrived.
    void Navigate(const QString& address);

    // The browser area's size in pixels.
    void setWidth(int pixels);
    void setHeight(int pixels);

    QString address() const { return address_; } // the last address asked for
    QUrl pageUrl() const { return page_; }       // the page on display; empty for a blank page or a note
    bool isLoading() const;

    // Largest page or picture the view takes; anything bigger is dropped with a note.
    static constexpr qint64 kMaxBytes = 32 * 1024 * 1024;
    // What one web page may bring in all, itself and its pictures and style sheets
    // together; past it, nothing more is fetched for the page.
    static constexpr qint64 kMaxBytesPerPage = 64 * 1024 * 1024;
    // Bytes the page on display has brought so far (itself and what it uses).
    qint64 pageBytes() const { return pageBytes_; }

signals:
    void navigateRequested(const QString& address); // every Navigate, links followed included
    void loadFinished(bool ok);                     // the page, or a note when it cannot be shown
    void resourceLoaded(const QUrl& url);           // a web picture or style sheet has arrived

protected:
    QVariant loadResource(int type, const QUrl& name) override;

private:
    void stop();
    void loadLocal(const QUrl& url);
    void fetchPage(const QUrl& url);
    void pageArrived(QNetworkReply* reply, quint64 generation);
    void display(const QByteArray& body, const QByteArray& contentType, const QUrl& url);
    void showBlank();
    void showNote(const QString& headline, const QString& detail);
    void render(); // lays html_ out in a fresh document, keeping the scroll position
    void freshDocument();
    void fetchResource(int type, const QUrl& url);
    void followLink(const QUrl& link);
    void countResourceBytes(QNetworkReply* reply, qint64 received);

    QNetworkAccessManager* network_ = nullptr;
    QPointer<QNetworkReply> pageReply_;
    QList<QPointer<QNetworkReply>> resourceReplies_;
    quint64 generation_ = 0; // replies of an earlier navigation are dropped
    QString address_;
    QUrl page_;
    QString html_;
    QHash<QUrl, QByteArray> webResources_; // pictures and style sheets of the page fetched so far
    QSet<QUrl> pending_;
    qint64 pageBytes_ = 0;
};

} // namespace platform
