// The engine's protocol pieces without a network: replies, server names, passive
// replies, line ends, remote paths and the transcript file.
#include "ftp/component/LineEnds.h"
#include "ftp/component/NameCodec.h"
#include "ftp/component/Passive.h"
#include "ftp/component/RemotePath.h"
#include "ftp/component/ReplyReader.h"
#include "ftp/component/ServerName.h"
#include "ftp/component/Transcript.h"
#include "platform/Codepage.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace ftp;

namespace {

struct ReadResult {
    QList<RawReply> replies;
    ReplyReader::State state = ReplyReader::State::Ok;
};

ReadResult readReplies(const QList<QByteArray>& chunks) {
    ReplyReader reader;
    ReadResult result;
    for (const QByteArray& chunk : chunks) {
        reader.feed(chunk);
        while (auto reply = reader.next())
            result.replies.append(*reply);
    }
    result.state = reader.state();
    return result;
}

QByteArray crlfToLf(const QList<QByteArray>& chunks) {
    CrlfToLf converter;
    QByteArray out;
    for (const QByteArray& chunk : chunks)
        converter.convert(chunk.constData(), chunk.size(), out);
    converter.finish(out);
    return out;
}

QByteArray lfToCrlf(const QList<QByteArray>& chunks) {
    LfToCrlf converter;
    QByteArray out;
    for (const QByteArray& chunk : chunks)
        converter.convert(chunk.constData(), chunk.size(), out);
    return out;
}

} // namespace

class FtpProtocolTest : public QObject {
    Q_OBJECT
private slots:
    void replies_data() {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QList<int>>("codes");
        QTest::addColumn<QList<int>>("lineCounts");
        QTest::newRow("one line") << QByteArray("220 ready\r\n") << QList<int>{220} << QList<int>{1};
        QTest::newRow("code only") << QByteArray("226\r\n") << QList<int>{226} << QList<int>{1};
        QTest::newRow("bare LF") << QByteArray("200 ok\n331 more\n") << QList<int>{200, 331}
                                 << QList<int>{1, 1};
        QTest::newRow("pure-ftpd greeting")
            << QByteArray("220---------- Welcome to Pure-FTPd [privsep] [TLS] ----------\r\n"
                          "220-You are user number 1 of 200 allowed.\r\n"
                          "220-Local time is now 20:13. Server port: 42204.\r\n"
                          "220 You will be disconnected after 15 minutes of inactivity.\r\n")
            << QList<int>{220} << QList<int>{4};
        QTest::newRow("feat with indented lines")
            << QByteArray("211-Features:\r\n UTF8\r\n EPSV\r\n211 End\r\n") << QList<int>{211}
            << QList<int>{4};
        QTest::newRow("inner line with another code")
            << QByteArray("214-Help\r\n200 not the end\r\n214-still going\r\n214 Done\r\n") << QList<int>{214}
            << QList<int>{4};
        QTest::newRow("pure-ftpd multi-line 226 then next")
            << QByteArray("150 Accepted data connection\r\n226-Options: -l \r\n226 12 matches total\r\n")
            << QList<int>{150, 226} << QList<int>{1, 2};
    }
    void replies() {
        QFETCH(QByteArray, stream);
        QFETCH(QList<int>, codes);
        QFETCH(QList<int>, lineCounts);
        for (qsizetype cut = 0; cut <= stream.size(); ++cut) {
            const ReadResult result = readReplies({stream.left(cut), stream.mid(cut)});
            QCOMPARE(result.state, ReplyReader::State::Ok);
            QCOMPARE(result.replies.size(), codes.size());
            for (qsizetype i = 0; i < codes.size(); ++i) {
                QCOMPARE(result.replies[i].code, codes[i]);
                QCOMPARE(result.replies[i].lines.size(), lineCounts[i]);
            }
        }
        QCOMPARE(readReplies({stream}).replies.first().lines.first(),
                 stream.left(stream.indexOf('\n')).chopped(stream.contains("\r\n") ? 1 : 0));
    }

    void badReplies() {
        QCOMPARE(readReplies({"HELLO\r\n"}).state, ReplyReader::State::Garbage);
        QCOMPARE(readReplies({"22 short\r\n"}).state, ReplyReader::State::Garbage);
        QCOMPARE(readReplies({"2200 four digits\r\n"}).state, ReplyReader::State::Garbage);
        QCOMPARE(readReplies({"600 out of range\r\n"}).state, ReplyReader::State::Garbage);
        QCOMPARE(readReplies({"099 out of range\r\n"}).state, ReplyReader::State::Garbage);
        QCOMPARE(readReplies({"220 ok\r\n", QByteArray("\x01\x02junk\r\n", 8)}).replies.size(), 1);
        // An endless line and an endless multi-line reply both stop being read.
        ReplyReader reader;
        reader.feed(QByteArray(ReplyReader::kMaxLineLength + 10, 'a'));
        QVERIFY(!reader.next());
        QCOMPARE(reader.state(), ReplyReader::State::TooLong);
        ReplyReader endless;
        endless.feed("211-start\r\n");
        const QByteArray line(1000, 'b');
        for (int i = 0; i < 10'000 && endless.state() == ReplyReader::State::Ok; ++i) {
            endless.feed(QByteArray(" " + line + "\r\n"));
            QVERIFY(!endless.next());
        }
        QCOMPARE(endless.state(), ReplyReader::State::TooLong);
    }

    void lineLimitWhateverTheSplit() {
        // The longest line accepted, then one byte more, with CR LF cut at every place.
        for (const qsizetype length : {ReplyReader::kMaxLineLength, ReplyReader::kMaxLineLength + 1}) {
            const QByteArray stream = "200 " + QByteArray(length - 4, 'a') + "\r\n";
            const auto expected =
                length <= ReplyReader::kMaxLineLength ? ReplyReader::State::Ok : ReplyReader::State::TooLong;
            for (const qsizetype cut : {stream.size() - 2, stream.size() - 1, stream.size()}) {
                const ReadResult result = readReplies({stream.left(cut), stream.mid(cut)});
                QCOMPARE(result.state, expected);
                QCOMPARE(result.replies.size(), expected == ReplyReader::State::Ok ? 1 : 0);
            }
        }
    }

    void replyLineBound() {
        // Short lines well inside the byte bound still end at the line bound.
        ReplyReader reader;
        reader.feed("211-start\r\n");
        reader.feed(QByteArray(" x\r\n").repeated(ReplyReader::kMaxReplyLines));
        QVERIFY(!reader.next());
        QCOMPARE(reader.state(), ReplyReader::State::TooLong);
        ReplyReader fits;
        fits.feed(QByteArray("211-start\r\n" +
                             QByteArray(" x\r\n").repeated(ReplyReader::kMaxReplyLines - 2) + "211 end\r\n"));
        QCOMPARE(fits.next()->lines.size(), ReplyReader::kMaxReplyLines);
    }

    void listedNamesKeepTheirBytes() {
        NameCodec utf8;
        utf8.setUtf8(true);
        NameCodec cp932;
        const QString mark(QChar(NameCodec::kByteMark));
        struct Case {
            const NameCodec& codec;
            QByteArray raw;
            QString shown;
        };
        const QList<Case> cases{
            {utf8, "plain.txt", QStringLiteral("plain.txt")},
            {utf8, "\xe6\x97\xa5\xe6\x9c\xac", QStringLiteral("日本")},
            {utf8, "bad\xff\xfe.txt", u"bad" + mark + u"FF" + mark + u"FE.txt"},
            {utf8, "cut\xe6\x97", u"cut" + mark + u"E6" + mark + u"97"},
            {utf8, "overlong\xc0\xaf", u"overlong" + mark + u"C0" + mark + u"AF"},
            {utf8, "surrogate\xed\xa0\x80", u"surrogate" + mark + u"ED" + mark + u"A0" + mark + u"80"},
            // The server's own U+FFFD is marked too, so that marks are never ambiguous.
            {utf8, "own\xef\xbf\xbd", u"own" + mark + u"EF" + mark + u"BF" + mark + u"BD"},
            {cp932, codepage::toCp932(QStringLiteral("表示ｶﾅ.txt")), QStringLiteral("表示ｶﾅ.txt")},
            {cp932, "bad\xff\xfe.txt", u"bad" + mark + u"FF" + mark + u"FE.txt"},
            {cp932, "lead\x83", u"lead" + mark + u"83"},
            {cp932, "\x83 x", mark + u"83 x"},
        };
        for (const Case& c : cases) {
            QCOMPARE(c.codec.decodeName(c.raw), c.shown);
            QCOMPARE(c.codec.encodeName(c.shown), std::optional<QByteArray>(c.raw));
            QCOMPARE(c.codec.encodeCommand(u"RETR /pub/" + c.shown),
                     std::optional<QByteArray>("RETR /pub/" + c.raw));
        }
        // A mark typed by hand never gives a control byte; other commands are plain text.
        QCOMPARE(utf8.encodeCommand(u"RETR " + mark + u"0A"), std::optional<QByteArray>("RETR \xef\xbf\xbd"
                                                                                        "0A"));
        QVERIFY(!cp932.encodeCommand(u"RETR " + mark + u"0A").value_or("\n").contains('\n'));
        QCOMPARE(utf8.encodeCommand(u"SITE x" + mark + u"FF"), std::optional<QByteArray>("SITE x\xef\xbf\xbd"
                                                                                         "FF"));

        // A remembered name goes back as its bytes, in every path piece, until the session ends.
        NameCodec session;
        session.setUtf8(true);
        session.rememberName(QStringLiteral("\u00e9"), "e\xcc\x81");
        QCOMPARE(session.encodeCommand(QStringLiteral("CWD /\u00e9/\u00e9")),
                 std::optional<QByteArray>("CWD /e\xcc\x81/e\xcc\x81"));
        QCOMPARE(session.encodeCommand(QStringLiteral("USER \u00e9")),
                 std::optional<QByteArray>("USER \xc3\xa9"));
        session.setUtf8(true);
        QCOMPARE(session.encodeName(QStringLiteral("\u00e9")), std::optional<QByteArray>("\xc3\xa9"));
    }

    void quotedPaths() {
        QCOMPARE(quotedPathOf(QStringLiteral("257 \"/\" is the current directory")), QStringLiteral("/"));
        QCOMPARE(quotedPathOf(QStringLiteral("257 \"/probe \"\"quoted\"\" dir\" directory created.")),
                 QStringLiteral("/probe \"quoted\" dir"));
        QCOMPARE(quotedPathOf(QStringLiteral("257 \"/dir with space\" is current")),
                 QStringLiteral("/dir with space"));
        QCOMPARE(quotedPathOf(QStringLiteral("257 no quotes")), std::nullopt);
        QCOMPARE(quotedPathOf(QStringLiteral("257 \"unterminated")), std::nullopt);
    }

    void serverNames_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::addColumn<bool>("literal");
        QTest::newRow("host") << QStringLiteral("ftp.example.jp") << true << QStringLiteral("ftp.example.jp")
                              << 21 << false;
        QTest::newRow("host:port") << QStringLiteral("ftp.example.jp:2121") << true
                                   << QStringLiteral("ftp.example.jp") << 2121 << false;
        QTest::newRow("blanks around") << QStringLiteral("  ftp.example.jp  ") << true
                                       << QStringLiteral("ftp.example.jp") << 21 << false;
        QTest::newRow("ipv4") << QStringLiteral("127.0.0.1") << true << QStringLiteral("127.0.0.1") << 21
                              << true;
        QTest::newRow("ipv4:port") << QStringLiteral("127.0.0.1:990") << true << QStringLiteral("127.0.0.1")
                                   << 990 << true;
        QTest::newRow("ipv6 bare") << QStringLiteral("::1") << true << QStringLiteral("::1") << 21 << true;
        QTest::newRow("ipv6 full") << QStringLiteral("2001:db8::21") << true << QStringLiteral("2001:db8::21")
                                   << 21 << true;
        QTest::newRow("ipv6 brackets")
            << QStringLiteral("[::1]") << true << QStringLiteral("::1") << 21 << true;
        QTest::newRow("ipv6 brackets port")
            << QStringLiteral("[2001:db8::1]:2121") << true << QStringLiteral("2001:db8::1") << 2121 << true;
        QTest::newRow("japanese host")
            << QStringLiteral("ftp.例え.jp") << true << QStringLiteral("ftp.例え.jp") << 21 << false;
        QTest::newRow("empty") << QString() << false << QString() << 0 << false;
        QTest::newRow("blank") << QStringLiteral("   ") << false << QString() << 0 << false;
        QTest::newRow("port zero") << QStringLiteral("host:0") << false << QString() << 0 << false;
        QTest::newRow("port too big") << QStringLiteral("host:65536") << false << QString() << 0 << false;
        QTest::newRow("port empty") << QStringLiteral("host:") << false << QString() << 0 << false;
        QTest::newRow("port letters") << QStringLiteral("host:ftp") << false << QString() << 0 << false;
        QTest::newRow("blank inside") << QStringLiteral("ftp example") << false << QString() << 0 << false;
        QTest::newRow("url") << QStringLiteral("ftp://host/") << false << QString() << 0 << false;
        QTest::newRow("unclosed bracket") << QStringLiteral("[::1") << false << QString() << 0 << false;
        QTest::newRow("bracketed ipv4") << QStringLiteral("[127.0.0.1]") << false << QString() << 0 << false;
        QTest::newRow("junk after bracket") << QStringLiteral("[::1]x") << false << QString() << 0 << false;
        QTest::newRow("bad ipv6") << QStringLiteral("1:2:3:zz") << false << QString() << 0 << false;
        QTest::newRow("ipv6 scope") << QStringLiteral("fe80::1%eth0") << true
                                    << QStringLiteral("fe80::1%eth0") << 21 << true;
        QTest::newRow("ipv6 scope brackets port") << QStringLiteral("[fe80::1%enp0s3.10]:2121") << true
                                                  << QStringLiteral("fe80::1%enp0s3.10") << 2121 << true;
        const auto refused = [](const char* row, const QString& text) {
            QTest::newRow(row) << text << false << QString() << 0 << false;
        };
        refused("ipv6 trailing NUL", QStringLiteral("::1") + QChar(u'\0'));
        refused("brackets with NULs", u"[::1" + QString(13, QChar(u'\0')) + u']');
        refused("scope with blank", QStringLiteral("fe80::1%a b"));
        refused("scope with controls", QStringLiteral("::1%\t\x01x"));
        refused("scope control then bracket", QStringLiteral("::%\x05]a"));
        refused("bracket in scope", QStringLiteral("::%]"));
        refused("bracket inside brackets", QStringLiteral("[::%]]"));
        refused("empty scope", QStringLiteral("fe80::1%"));
        refused("scope too long", QStringLiteral("fe80::1%abcdefghijklmnop"));
        refused("endless scope", u"::1%" + QString(20'000'000, u'a'));
        refused("host too long", QString(254, u'a'));
        refused("NUL in host", QStringLiteral("ftp.example.jp") + QChar(u'\0'));
        refused("bidi in host", QStringLiteral("ftp.\u202Eexample.jp"));
    }
    void serverNames() {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        const auto name = parseServerName(text);
        QCOMPARE(name.has_value(), valid);
        if (!valid)
            return;
        QFETCH(QString, host);
        QFETCH(int, port);
        QFETCH(bool, literal);
        QCOMPARE(name->host, host);
        QCOMPARE(int(name->port), port);
        QCOMPARE(name->isLiteral, literal);
    }

    void passiveReplies() {
        QCOMPARE(epsvPort(QStringLiteral("229 Entering Extended Passive Mode (|||21548|)")), quint16(21548));
        QCOMPARE(epsvPort(QStringLiteral("229 Extended Passive mode OK (|||23102|)")), quint16(23102));
        QCOMPARE(epsvPort(QStringLiteral("229 ok (!!!1234!)")), quint16(1234));
        QCOMPARE(epsvPort(QStringLiteral("229 ok (|||70000|)")), std::nullopt);
        QCOMPARE(epsvPort(QStringLiteral("229 ok (||1234|)")), std::nullopt);
        QCOMPARE(epsvPort(QStringLiteral("229 ok (|||abc|)")), std::nullopt);
        QCOMPARE(epsvPort(QStringLiteral("229 ok")), std::nullopt);
        QCOMPARE(pasvPort(QStringLiteral("227 Entering Passive Mode (127,0,0,1,84,173).")),
                 quint16(84 * 256 + 173));
        QCOMPARE(pasvPort(QStringLiteral("227 Entering Passive Mode (10,255,255,1,1,2)")), quint16(258));
        QCOMPARE(pasvPort(QStringLiteral("227 =127,0,0,1,4,1")), quint16(1025));
        QCOMPARE(pasvPort(QStringLiteral("227 Entering Passive Mode (127,0,0,1,300,1)")), std::nullopt);
        QCOMPARE(pasvPort(QStringLiteral("227 Entering Passive Mode")), std::nullopt);
    }

    void lineEndsDownload() {
        const QByteArray wire = "a\r\nb\r\n\r\nlone\rcr\r\r\nend\r";
        const QByteArray expected = "a\nb\n\nlone\rcr\r\nend\r";
        QCOMPARE(crlfToLf({wire}), expected);
        for (qsizetype cut = 0; cut <= wire.size(); ++cut)
            QCOMPARE(crlfToLf({wire.left(cut), wire.mid(cut)}), expected);
        QList<QByteArray> bytes;
        for (const char c : wire)
            bytes.append(QByteArray(1, c));
        QCOMPARE(crlfToLf(bytes), expected);
        QCOMPARE(crlfToLf({"\r", "\r", "\n"}), QByteArray("\r\n"));
    }

    void lineEndsUpload() {
        const QByteArray file = "a\nb\r\n\nlone\rend";
        const QByteArray expected = "a\r\nb\r\n\r\nlone\rend";
        QCOMPARE(lfToCrlf({file}), expected);
        for (qsizetype cut = 0; cut <= file.size(); ++cut)
            QCOMPARE(lfToCrlf({file.left(cut), file.mid(cut)}), expected);
        QCOMPARE(lfToCrlf({"x\r", "\n"}), QByteArray("x\r\n"));
        QCOMPARE(lfToCrlf({"\n\n"}), QByteArray("\r\n\r\n"));
    }

    void remotePaths() {
        QVERIFY(holdsLineBreakOrNul(QStringLiteral("a\rb")));
        QVERIFY(holdsLineBreakOrNul(QStringLiteral("a\nb")));
        QVERIFY(holdsLineBreakOrNul(QStringLiteral("a") + QChar(0)));
        QVERIFY(!holdsLineBreakOrNul(QStringLiteral("a b\tc")));

        QCOMPARE(tidyRemotePath(QStringLiteral("//pub")), QStringLiteral("/pub"));
        QCOMPARE(tidyRemotePath(QStringLiteral("/pub//x/")), QStringLiteral("/pub/x"));
        QCOMPARE(tidyRemotePath(QStringLiteral("/")), QStringLiteral("/"));
        QCOMPARE(tidyRemotePath(QStringLiteral("///")), QStringLiteral("/"));

        const QString home = QStringLiteral("/home/u");
        QCOMPARE(resolveRemotePath(QString(), home), home);
        QCOMPARE(resolveRemotePath(QStringLiteral("/pub/"), home), QStringLiteral("/pub"));
        QCOMPARE(resolveRemotePath(QStringLiteral("sub/x"), home), QStringLiteral("/home/u/sub/x"));
        QCOMPARE(resolveRemotePath(QStringLiteral("sub"), QStringLiteral("/")), QStringLiteral("/sub"));
        QCOMPARE(resolveRemotePath(QStringLiteral(" lead"), QStringLiteral("/")), QStringLiteral("/ lead"));
        QCOMPARE(joinRemotePath(QStringLiteral("/"), QStringLiteral("a.txt")), QStringLiteral("/a.txt"));
        QCOMPARE(joinRemotePath(QStringLiteral("/pub"), QStringLiteral("a.txt")),
                 QStringLiteral("/pub/a.txt"));

        for (const char* bad : {"", ".", "..", "a/b", "a\\b", "a\nb", "a\rb"})
            QVERIFY2(!isUsableListedName(QString::fromUtf8(bad)), bad);
        for (const char* good : {"...", ".hidden", " lead", "file with space.txt", "a..b"})
            QVERIFY2(isUsableListedName(QString::fromUtf8(good)), good);
    }

    void transcriptFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("state/TesselFTP/log.txt"));
        {
            Transcript log;
            QVERIFY(log.open(path, Transcript::Mode::Replace));
            log.command(QStringLiteral("USER 太郎"));
            log.command(QStringLiteral("PASS hunter2"));
            log.command(QStringLiteral("pass\thunter2"));
            log.command(QStringLiteral("  PASS"));
            // Blanks the server would not split at still hide what follows.
            log.command(QStringLiteral("PASS\u3000hunter2"));
            log.command(QStringLiteral("\u3000pass\vhunter2"));
            log.command(QStringLiteral("PASSWORD is not PASS"));
            log.reply(QStringLiteral("230 ok\rnot a new line"));
            log.command(QStringLiteral("ACCT budget-7"));
            log.command(QStringLiteral(" acct\tbudget-7"));
            // Gathered until flushed (the engine flushes at the end of every call), then
            // readable before the transcript closes.
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.size(), 0);
            log.flush();
            const QByteArray bytes = file.readAll();
            QVERIFY(!bytes.contains("budget"));
            QVERIFY(!bytes.contains("hunter2"));
            QCOMPARE(
                codepage::splitLines(codepage::fromCp932(bytes)),
                (QStringList{QStringLiteral("USER 太郎"), QStringLiteral("PASS ****"),
                             QStringLiteral("PASS ****"), QStringLiteral("PASS ****"),
                             QStringLiteral("PASS ****"), QStringLiteral("PASS ****"),
                             QStringLiteral("PASSWORD is not PASS"), QStringLiteral("230 ok not a new line"),
                             QStringLiteral("ACCT ****"), QStringLiteral("ACCT ****")}));
            QCOMPARE(bytes.left(9), QByteArray("USER ") + codepage::toCp932(QStringLiteral("太郎")));
        }
        const QFile::Permissions permissions = QFile::permissions(path);
        QVERIFY(
            !(permissions & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther)));
        QVERIFY(!(QFile::permissions(QFileInfo(path).absolutePath()) & (QFile::ReadOther | QFile::ExeOther)));

        // Replace starts afresh; Append goes on.
        Transcript again;
        QVERIFY(again.open(path, Transcript::Mode::Replace));
        again.reply(QStringLiteral("first"));
        again.close();
        QVERIFY(again.open(path, Transcript::Mode::Append));
        again.reply(QStringLiteral("second"));
        again.close();
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("first\r\nsecond\r\n"));

        // A link planted at the log's place is replaced, not followed.
        const QString victim = dir.filePath(QStringLiteral("victim.txt"));
        QFile victimFile(victim);
        QVERIFY(victimFile.open(QIODevice::WriteOnly));
        victimFile.write("keep");
        victimFile.close();
        QVERIFY(QFile::remove(path));
        QVERIFY(QFile::link(victim, path));
        Transcript linked;
        QVERIFY(linked.open(path, Transcript::Mode::Replace));
        linked.reply(QStringLiteral("x"));
        linked.close();
        QVERIFY(!QFileInfo(path).isSymLink());
        QVERIFY(victimFile.open(QIODevice::ReadOnly));
        QCOMPARE(victimFile.readAll(), QByteArray("keep"));
        victimFile.close();
        // The same in append mode, and an older file open to others becomes owner-only.
        QVERIFY(QFile::remove(path));
        QVERIFY(QFile::link(victim, path));
        QVERIFY(linked.open(path, Transcript::Mode::Append));
        linked.reply(QStringLiteral("y"));
        linked.close();
        QVERIFY(!QFileInfo(path).isSymLink());
        QVERIFY(victimFile.open(QIODevice::ReadOnly));
        QCOMPARE(victimFile.readAll(), QByteArray("keep"));
        QVERIFY(QFile::setPermissions(path, QFile::permissions(path) | QFile::ReadOther));
        QVERIFY(linked.open(path, Transcript::Mode::Append));
        linked.close();
        QVERIFY(!(QFile::permissions(path) & QFile::ReadOther));
        QFile appended(path);
        QVERIFY(appended.open(QIODevice::ReadOnly));
        QCOMPARE(appended.readAll(), QByteArray("y\r\n"));
        // A transcript dropped without a close still writes out what it gathered.
        {
            Transcript dropped;
            QVERIFY(dropped.open(path, Transcript::Mode::Append));
            dropped.reply(QStringLiteral("z"));
        }
        appended.seek(0);
        QCOMPARE(appended.readAll(), QByteArray("y\r\nz\r\n"));

        // An unusable path: no transcript, no failure.
        Transcript nowhere;
        QVERIFY(!nowhere.open(victim + QStringLiteral("/log.txt"), Transcript::Mode::Replace));
        nowhere.reply(QStringLiteral("ignored"));
    }
};

QTEST_APPLESS_MAIN(FtpProtocolTest)
#include "tst_ftpprotocol.moc"
