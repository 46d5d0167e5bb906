// The browser view on its own: local pages and their pictures, web pages served from
// 127.0.0.1, links, and the addresses it cannot show.
#include "platform/Codepage.h"
#include "platform/WebView.h"
#include "support/LocalHttpServer.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMessageBox>
#include <QNetworkReply>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>

namespace {

QByteArray redPng() {
    QImage image(40, 40, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

bool showsRed(QWidget* view) {
    const QImage shot = view->grab().toImage();
    for (int y = 0; y < shot.height(); y += 2)
        for (int x = 0; x < shot.width(); x += 2)
            if (shot.pixelColor(x, y) == QColor(Qt::red))
                return true;
    return false;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

bool anyMessageBox() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<QMessageBox*>(w))
            return true;
    return false;
}

} // namespace

class WebViewTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    testing::LocalHttpServer http_;

    QString local(const QString& name) const { return dir_.filePath(name); }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        QVERIFY(http_.isListening());
    }

    void cleanup() { QVERIFY(!anyMessageBox()); }

    void blankForEmptyAddress() {
        platform::WebView view;
        view.setHtml(QStringLiteral("<p>old</p>"));
        QSignalSpy finished(&view, &platform::WebView::loadFinished);
        view.Navigate(QString());
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(0).toBool(), true);
        QVERIFY(view.toPlainText().isEmpty());
        QVERIFY(view.pageUrl().isEmpty());
    }

    void localPageWithPictureAndLinks() {
        writeFile(local(QStringLiteral("red.png")), redPng());
        writeFile(local(QStringLiteral("second.htm")), "<html><body><p>second page</p></body></html>");
        QByteArray page = "<html><head><meta charset=\"UTF-8\"><title>ローカル</title></head><body>"
                          "<p><a href=\"#end\">to the end</a> <a href=\"second.htm\">next</a></p>"
                          "<p><img src=\"red.png\"></p>";
        for (int i = 0; i < 200; ++i)
            page += "<p>filler line</p>";
        page += "<p><a name=\"end\"></a>the end</p></body></html>";
        writeFile(local(QStringLiteral("page.htm")), page);

        platform::WebView view;
        view.resize(400, 300);
        view.show();
        QSignalSpy requested(&view, &platform::WebView::navigateRequested);
        view.Navigate(local(QStringLiteral("page.htm"))); // a plain path
        QCOMPARE(view.documentTitle(), QStringLiteral("ローカル"));
        QCOMPARE(view.pageUrl(), QUrl::fromLocalFile(local(QStringLiteral("page.htm"))));
        QVERIFY(showsRed(&view)); // the picture beside the page

        // A link inside the page only scrolls.
        QCOMPARE(view.verticalScrollBar()->value(), 0);
        emit view.anchorClicked(QUrl(QStringLiteral("#end")));
        QVERIFY(view.verticalScrollBar()->value() > 0);
        QCOMPARE(requested.count(), 1);

        // A relative link goes to the page beside it.
        emit view.anchorClicked(QUrl(QStringLiteral("second.htm")));
        QCOMPARE(requested.count(), 2);
        QCOMPARE(view.pageUrl(), QUrl::fromLocalFile(local(QStringLiteral("second.htm"))));
        QVERIFY(view.toPlainText().contains(QStringLiteral("second page")));
        QVERIFY(!showsRed(&view)); // nothing of the previous page is left
    }

    void fileUrlAndPlainText() {
        writeFile(local(QStringLiteral("notes.txt")), codepage::toCp932(QStringLiteral("<b>メモ</b>")));
        platform::WebView view;
        view.Navigate(QUrl::fromLocalFile(local(QStringLiteral("notes.txt"))).toString());
        QCOMPARE(view.toPlainText(), QStringLiteral("<b>メモ</b>")); // shown as text, not as markup
    }

    void notesForWhatCannotBeShown() {
        platform::WebView view;
        QSignalSpy finished(&view, &platform::WebView::loadFinished);
        view.Navigate(local(QStringLiteral("missing.htm")));
        QVERIFY(view.toPlainText().contains(QStringLiteral("ページを開けません。")));
        QVERIFY(view.toPlainText().contains(local(QStringLiteral("missing.htm"))));
        view.Navigate(QStringLiteral("ftp://ftp.example.com/"));
        QVERIFY(view.toPlainText().contains(QStringLiteral("このアドレスは表示できません。")));
        view.Navigate(dir_.path()); // a folder
        QVERIFY(view.toPlainText().contains(QStringLiteral("ページを開けません。")));
        QCOMPARE(finished.count(), 3);
        for (const QList<QVariant>& call : finished)
            QCOMPARE(call.at(0).toBool(), false);
    }

    void webPageWithPictureAndLink() {
        http_.serveHtml(
            QStringLiteral("/dir/index.html"),
            QStringLiteral("<html><head><title>Web</title></head><body><p>served from loopback</p>"
                           "<p><img src=\"pic.png\"> <a href=\"../other.html\">other</a></p>"
                           "</body></html>"));
        testing::LocalHttpServer::Response picture;
        picture.contentType = "image/png";
        picture.body = redPng();
        http_.serve(QStringLiteral("/dir/pic.png"), picture);
        http_.serveHtml(QStringLiteral("/other.html"), QStringLiteral("<p>other page</p>"));

        platform::WebView view;
        view.resize(400, 300);
        view.show();
        QSignalSpy finished(&view, &platform::WebView::loadFinished);
        view.Navigate(http_.url(QStringLiteral("/dir/index.html")).toString());
        QVERIFY(view.isLoading());
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.at(0).at(0).toBool(), true);
        QVERIFY(view.toPlainText().contains(QStringLiteral("served from loopback")));
        QCOMPARE(view.documentTitle(), QStringLiteral("Web"));
        // The picture comes from the page's own base, and shows once it has arrived.
        QTRY_VERIFY_WITH_TIMEOUT(showsRed(&view), 10000);
        QVERIFY(http_.requested().contains(QStringLiteral("/dir/pic.png")));

        emit view.anchorClicked(QUrl(QStringLiteral("../other.html")));
        QVERIFY(finished.wait(10000));
        QCOMPARE(view.pageUrl(), http_.url(QStringLiteral("/other.html")));
        QVERIFY(view.toPlainText().contains(QStringLiteral("other page")));
    }

    void webPageCharsetAndErrorPage() {
        testing::LocalHttpServer::Response sjis;
        sjis.contentType = "text/html; charset=Shift_JIS";
        sjis.body = codepage::toCp932(QStringLiteral("<p>日本語のページ</p>"));
        http_.serve(QStringLiteral("/sjis.htm"), sjis);

        platform::WebView view;
        QSignalSpy finished(&view, &platform::WebView::loadFinished);
        view.Navigate(http_.url(QStringLiteral("/sjis.htm")).toString());
        QVERIFY(finished.wait(10000));
        QVERIFY(view.toPlainText().contains(QStringLiteral("日本語のページ")));

        // A server's own error page is shown as it comes.
        testing::LocalHttpServer::Response missing;
        missing.status = 404;
        missing.body = "<p>no such page here</p>";
        http_.serve(QStringLiteral("/gone.htm"), missing);
        view.Navigate(http_.url(QStringLiteral("/gone.htm")).toString());
        QVERIFY(finished.wait(10000));
        QVERIFY(view.toPlainText().contains(QStringLiteral("no such page here")));
    }

    void redirectIsFollowed() {
        testing::LocalHttpServer::Response moved;
        moved.status = 302;
        moved.body.clear();
        moved.extraHeaders = "Location: " + http_.url(QStringLiteral("/target.htm")).toEncoded() + "\r\n";
        http_.serve(QStringLiteral("/moved.htm"), moved);
        http_.serveHtml(QStringLiteral("/target.htm"), QStringLiteral("<p>arrived</p>"));
        platform::WebView view;
        QSignalSpy finished(&view, &platform::WebView::loadFinished);
        view.Navigate(http_.url(QStringLiteral("/moved.htm")).toString());
        QVERIFY(finished.wait(10000));
        QVERIFY(view.toPlainText().contains(QStringLiteral("arrived")));
        QCOMPARE(view.pageUrl(), http_.url(QStringLiteral("/target.htm"))); // relative links use the new base
    }

    void unreachableServerGivesNote() {
        quint16 closedPort = 0;
        {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
            closedPort = probe.serverPort();
        }
        platform::WebView view;
        QSignalSpy finished(&view, &platform::WebView::loadFinished);
        view.Navigate(QStringLiteral("http://127.0.0.1:%1/").arg(closedPort));
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.at(0).at(0).toBool(), false);
        QVERIFY(view.toPlainText().contains(QStringLiteral("ページを表示できません。")));
    }

    void webPageNeverReadsLocalFiles() {
        writeFile(local(QStringLiteral("secret.png")), redPng());
        const QString secretUrl = QUrl::fromLocalFile(local(QStringLiteral("secret.png"))).toString();
        http_.serveHtml(QStringLiteral("/sneaky.htm"),
                        QStringLiteral("<p>look</p><p><img src=\"%1\"></p><p><a href=\"%1\">link</a></p>")
                            .arg(secretUrl));
        platform::WebView view;
        view.resize(300, 200);
        view.show();
        QSignalSpy finished(&view, &platform::WebView::loadFinished);
        view.Navigate(http_.url(QStringLiteral("/sneaky.htm")).toString());
        QVERIFY(finished.wait(10000));
        QVERIFY(view.toPlainText().contains(QStringLiteral("look")));
        QVERIFY(!showsRed(&view));
        emit view.anchorClicked(QUrl(secretUrl));
        QCOMPARE(view.pageUrl(), http_.url(QStringLiteral("/sneaky.htm")));
    }

    void webLinksNeverOpenLocalFiles() {
        // Files a link could name when read again as a typed address: relative to the
        // current folder ("abc:123/s.txt", "c:/s.txt") or absolute.
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir_.path()));
        const auto restore = qScopeGuard([&] { QDir::setCurrent(before); });
        QVERIFY(QDir().mkpath(QStringLiteral("abc:123")) && QDir().mkpath(QStringLiteral("c:")));
        writeFile(local(QStringLiteral("abc:123/s.txt")), "secret one");
        writeFile(local(QStringLiteral("c:/s.txt")), "secret two");
        writeFile(local(QStringLiteral("s.txt")), "secret three");
        http_.serveHtml(QStringLiteral("/links.htm"), QStringLiteral("<p>links</p>"));
        platform::WebView view;
        QSignalSpy finished(&view, &platform::WebView::loadFinished);
        view.Navigate(http_.url(QStringLiteral("/links.htm")).toString());
        QVERIFY(finished.wait(10000));
        for (const QString& link :
             QStringList{QStringLiteral("abc:123/s.txt"), QStringLiteral("c:/s.txt"),
                         QStringLiteral("C:\\s.txt"), QStringLiteral("file:s.txt"),
                         QString(QStringLiteral("file://") + local(QStringLiteral("s.txt"))),
                         local(QStringLiteral("s.txt"))}) {
            emit view.anchorClicked(QUrl(link));
            QCOMPARE(view.pageUrl(), http_.url(QStringLiteral("/links.htm")));
            QVERIFY2(!view.toPlainText().contains(QStringLiteral("secret")), qPrintable(link));
        }
        // A relative link on a web page stays on the web.
        http_.serveHtml(QStringLiteral("/s.txt"), QStringLiteral("<p>web text</p>"));
        emit view.anchorClicked(QUrl(QStringLiteral("s.txt")));
        QVERIFY(finished.wait(10000));
        QCOMPARE(view.pageUrl(), http_.url(QStringLiteral("/s.txt")));
        QVERIFY(view.toPlainText().contains(QStringLiteral("web text")));
    }

    void pageBudgetOverAllResources() {
        // 25 pictures of 4 MiB: 100 MiB in all, each below the single-resource cap.
        QString html = QStringLiteral("<p>gallery</p>");
        testing::LocalHttpServer::Response picture;
        picture.contentType = "image/png";
        picture.body = redPng() + QByteArray(4 * 1024 * 1024, '\0');
        for (int i = 0; i < 25; ++i) {
            http_.serve(QStringLiteral("/gallery/%1.png").arg(i), picture);
            html += QStringLiteral("<img src=\"%1.png\">").arg(i);
        }
        http_.serveHtml(QStringLiteral("/gallery/index.htm"), html);
        platform::WebView view;
        view.resize(300, 200);
        view.show();
        QSignalSpy finished(&view, &platform::WebView::loadFinished);
        view.Navigate(http_.url(QStringLiteral("/gallery/index.htm")).toString());
        QVERIFY(finished.wait(10000));
        QTRY_VERIFY_WITH_TIMEOUT(view.pageBytes() > platform::WebView::kMaxBytesPerPage, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(view.findChildren<QNetworkReply*>().isEmpty() ||
                                     std::none_of(view.findChildren<QNetworkReply*>().cbegin(),
                                                  view.findChildren<QNetworkReply*>().cend(),
                                                  [](QNetworkReply* r) { return r->isRunning(); }),
                                 20000);
        // Every picture still on its way was dropped once the budget was spent: the page
        // holds little more than the budget, not the 100 MiB offered.
        QVERIFY2(view.pageBytes() <= platform::WebView::kMaxBytesPerPage + 8 * 1024 * 1024,
                 qPrintable(QString::number(view.pageBytes())));
    }

    void laterNavigationWins() {
        http_.serveHtml(QStringLiteral("/slowpoke.htm"), QStringLiteral("<p>web page</p>"));
        writeFile(local(QStringLiteral("quick.htm")), "<p>local page</p>");
        platform::WebView view;
        QSignalSpy finished(&view, &platform::WebView::loadFinished);
        view.Navigate(http_.url(QStringLiteral("/slowpoke.htm")).toString());
        view.Navigate(local(QStringLiteral("quick.htm")));
        QCOMPARE(finished.count(), 1);
        QVERIFY(!view.isLoading());
        QTest::qWait(300); // the dropped web page must not replace the local one
        QCOMPARE(finished.count(), 1);
        QVERIFY(view.toPlainText().contains(QStringLiteral("local page")));
    }
};

QTEST_MAIN(WebViewTest)
#include "tst_webview.moc"
