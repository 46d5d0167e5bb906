// How the browser view reads addresses and page bodies, and the help window's layout
// arithmetic: plain functions, no display.
#include "help/frmBrowser22.h"
#include "platform/Codepage.h"
#include "platform/WebAddress.h"

#include <QTest>

using platform::webaddress::Content;
using platform::webaddress::Kind;
namespace web = platform::webaddress;

Q_DECLARE_METATYPE(platform::webaddress::Kind)

class WebAddressTest : public QObject {
    Q_OBJECT

private slots:
    void resolve_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("url");
        QTest::newRow("empty") << QString() << Kind::Blank << QString();
        QTest::newRow("blanks") << QStringLiteral("   ") << Kind::Blank << QString();
        QTest::newRow("absolute path") << QStringLiteral("/tmp/help/FtpHelp.htm") << Kind::LocalFile
                                       << QStringLiteral("file:///tmp/help/FtpHelp.htm");
        QTest::newRow("file url") << QStringLiteral("file:///tmp/a%20b.htm") << Kind::LocalFile
                                  << QStringLiteral("file:///tmp/a b.htm");
        QTest::newRow("windows path")
            << QStringLiteral("c:\\home\\index.htm") << Kind::LocalFile << QString();
        QTest::newRow("http") << QStringLiteral("http://127.0.0.1:8080/a.htm") << Kind::Web
                              << QStringLiteral("http://127.0.0.1:8080/a.htm");
        QTest::newRow("https upper case") << QStringLiteral("HTTPS://www.example.com/") << Kind::Web
                                          << QStringLiteral("https://www.example.com/");
        QTest::newRow("no scheme") << QStringLiteral("www.example.com/index.htm") << Kind::Web
                                   << QStringLiteral("http://www.example.com/index.htm");
        QTest::newRow("host and port") << QStringLiteral("localhost:8080/x.htm") << Kind::Web
                                       << QStringLiteral("http://localhost:8080/x.htm");
        QTest::newRow("ftp") << QStringLiteral("ftp://ftp.example.com/pub") << Kind::Unsupported << QString();
        QTest::newRow("mailto") << QStringLiteral("mailto:someone@example.com") << Kind::Unsupported
                                << QString();
        QTest::newRow("script") << QStringLiteral("javascript:alert(1)") << Kind::Unsupported << QString();
        QTest::newRow("http without host") << QStringLiteral("http://") << Kind::Unsupported << QString();
        QTest::newRow("words") << QStringLiteral("ヘルプ を 見る") << Kind::Unsupported << QString();
    }
    void resolve() {
        QFETCH(QString, address);
        QFETCH(Kind, kind);
        QFETCH(QString, url);
        const web::Target target = web::resolve(address);
        QCOMPARE(target.kind, kind);
        if (!url.isEmpty())
            QCOMPARE(target.url.toString(), url);
    }

    void classify() {
        const QUrl page(QStringLiteral("http://127.0.0.1/x"));
        QCOMPARE(web::classify("text/html; charset=Shift_JIS", page, "<p>"), Content::Html);
        QCOMPARE(web::classify("TEXT/HTML", page, {}), Content::Html);
        QCOMPARE(web::classify("image/png", page, {}), Content::Image);
        QCOMPARE(web::classify("text/plain", page, "abc"), Content::Text);
        QCOMPARE(web::classify("application/pdf", page, "%PDF"), Content::Other);
        // Without a type (local files) or with a useless one, the name and bytes decide.
        QCOMPARE(web::classify({}, QUrl::fromLocalFile(QStringLiteral("/x/FtpHelp.htm")), "<html>"),
                 Content::Html);
        QCOMPARE(
            web::classify("application/octet-stream", QUrl(QStringLiteral("http://h/readme.txt")), "hello"),
            Content::Text);
        QCOMPARE(web::classify({}, QUrl::fromLocalFile(QStringLiteral("/x/a.png")), "\x89PNG\r\n\x1a\n"),
                 Content::Image);
    }

    void classifyNamesWithNuls() {
        // Names that once crashed the type guess: NULs and controls before a known suffix.
        QCOMPARE(web::classify({}, QUrl(QStringLiteral("http://h/x%00%00.htm")), "<html><body>x"),
                 Content::Html);
        QVERIFY(web::classify("application/octet-stream", QUrl(QStringLiteral("http://h/%00%00%00.SK")),
                              "x") != Content::Html);
        QCOMPARE(web::classify({}, QUrl(QStringLiteral("http://h/%00%00notes.txt")), "plain words"),
                 Content::Text);
        QCOMPARE(web::classify({}, QUrl(QStringLiteral("http://h/a%00%01%1b.png")), "\x89PNG\r\n\x1a\n"),
                 Content::Image);
        QCOMPARE(web::classify({}, QUrl(QStringLiteral("http://h/page.ht%00m")), "<html><body>x"),
                 Content::Html);
    }

    void decodeText() {
        const QString japanese = QStringLiteral("ファイル転送ソフト");
        const QByteArray sjis = codepage::toCp932(japanese);
        // The header's charset wins over everything else.
        QCOMPARE(web::decodeText(sjis, "text/html; charset=Shift_JIS", true), japanese);
        QCOMPARE(web::decodeText(sjis, "text/plain;charset=\"shift_jis\"", false), japanese);
        // A <meta> charset, in either form.
        const QByteArray meta1 = "<html><head><meta charset=\"Shift_JIS\"></head><body>" + sjis + "</body>";
        QVERIFY(web::decodeText(meta1, {}, true).contains(japanese));
        const QByteArray meta2 =
            "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=x-sjis\">" + sjis;
        QVERIFY(web::decodeText(meta2, {}, true).contains(japanese));
        // Nothing declared: UTF-8 when the bytes are UTF-8, CP932 otherwise.
        QCOMPARE(web::decodeText(japanese.toUtf8(), {}, true), japanese);
        QCOMPARE(web::decodeText(sjis, {}, true), japanese);
        // A byte-order mark.
        QCOMPARE(web::decodeText("\xEF\xBB\xBF" + japanese.toUtf8(), {}, false), japanese);
        // An unknown charset name falls back instead of failing.
        QCOMPARE(web::decodeText(japanese.toUtf8(), "text/html; charset=no-such-charset", true), japanese);
    }

    void mayLoad() {
        const QUrl web(QStringLiteral("http://127.0.0.1/page.htm"));
        const QUrl local = QUrl::fromLocalFile(QStringLiteral("/tmp/page.htm"));
        const QUrl file = QUrl::fromLocalFile(QStringLiteral("/etc/passwd"));
        QVERIFY(!web::mayLoad(web, file)); // a web page never reaches local files
        QVERIFY(web::mayLoad(local, file));
        QVERIFY(web::mayLoad(web, QUrl(QStringLiteral("https://cdn.example.com/a.png"))));
        QVERIFY(web::mayLoad(local, QUrl(QStringLiteral("http://127.0.0.1/a.png"))));
        QVERIFY(!web::mayLoad(local, QUrl(QStringLiteral("qrc:/images/title.jpg"))));
    }

    void browserLayoutAtDesignSize() {
        const auto layout = help::browserLayout(9708, 6336);
        QVERIFY(layout);
        QCOMPARE(layout->browserWidth, 9608.0f);
        QCOMPARE(layout->browserHeight, 5286.0f);
        QCOMPARE(layout->addressWidth, 8868.0f);
    }

    void browserLayoutTooSmall() {
        QVERIFY(!help::browserLayout(839, 6336));  // the address box would be negative
        QVERIFY(!help::browserLayout(9708, 1049)); // the browser area would be negative
        QVERIFY(!help::browserLayout(0, 0));       // minimised
        const auto edge = help::browserLayout(840, 1050);
        QVERIFY(edge);
        QCOMPARE(edge->addressWidth, 0.0f);
        QCOMPARE(edge->browserHeight, 0.0f);
    }

    void presets() {
        const QStringList presets = help::presetAddresses();
        QCOMPARE(presets.size(), 4);
        QCOMPARE(presets.at(0), QStringLiteral("c:\\home\\index.htm"));
        for (int i = 1; i < 4; ++i)
            QCOMPARE(web::resolve(presets.at(i)).kind, Kind::Web);
        QVERIFY(presets.at(2).endsWith(QLatin1String("index.htm")));
    }
};

QTEST_GUILESS_MAIN(WebAddressTest)
#include "tst_webaddress.moc"
