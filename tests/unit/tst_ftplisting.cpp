// Directory listings as real servers write them, parsed whole and cut at every byte.
#include "ftp/component/ListingParser.h"
#include "platform/Codepage.h"

#include <QTest>

using ftp::EntryKind;
using ftp::ListEntry;
using ftp::ListingFormat;
using ftp::ListingParser;

Q_DECLARE_METATYPE(ftp::EntryKind)
Q_DECLARE_METATYPE(ftp::ListingFormat)

namespace {

QList<ListEntry> parse(ListingFormat format, const QList<QByteArray>& chunks, bool cp932 = false) {
    ListingParser parser(format, [cp932](QByteArrayView line) {
        return cp932 ? codepage::fromCp932(line.toByteArray()) : QString::fromUtf8(line);
    });
    for (const QByteArray& chunk : chunks)
        parser.feed(chunk);
    parser.finish();
    return parser.entries();
}

} // namespace

class FtpListingTest : public QObject {
    Q_OBJECT
private slots:
    void lines_data() {
        QTest::addColumn<ListingFormat>("format");
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("name");
        QTest::addColumn<EntryKind>("kind");
        const auto list = ListingFormat::List;
        const auto mlsd = ListingFormat::Mlsd;
        // vsftpd: numeric owners, zero-padded day.
        QTest::newRow("vsftpd file")
            << list
            << QByteArray("-rw-r--r--    1 0        0               7 Dec 07 20:13 file with space.txt")
            << QStringLiteral("file with space.txt") << EntryKind::File;
        QTest::newRow("vsftpd big file")
            << list
            << QByteArray("-rw-r--r--    1 0        0        5368709120 Dec 07 20:13 big-sparse-5g.bin")
            << QStringLiteral("big-sparse-5g.bin") << EntryKind::File;
        QTest::newRow("vsftpd link")
            << list
            << QByteArray("lrwxrwxrwx    1 0        0               3 Dec 07 20:13 link-to-sub -> sub")
            << QStringLiteral("link-to-sub") << EntryKind::Link;
        // ProFTPD: names as owners, space-padded day, a year for old files.
        QTest::newRow("proftpd folder")
            << list << QByteArray("drwxr-xr-x   2 tessel   tesselgrp     4096 Dec  7 20:13 dir with space")
            << QStringLiteral("dir with space") << EntryKind::Folder;
        QTest::newRow("proftpd year")
            << list << QByteArray("-rw-r--r--   1 tessel   tesselgrp        4 Mar  4  2019 old.txt")
            << QStringLiteral("old.txt") << EntryKind::File;
        QTest::newRow("proftpd wide size")
            << list
            << QByteArray("-rw-r--r--   1 tessel   tesselgrp 5368709120 Dec  7 20:13 big-sparse-5g.bin")
            << QStringLiteral("big-sparse-5g.bin") << EntryKind::File;
        // Pure-FTPd: wide columns.
        QTest::newRow("pure-ftpd link") << list
                                        << QByteArray("lrwxrwxrwx    1 0          0                  14 Dec  "
                                                      "7 20:13 broken-link -> does-not-exist")
                                        << QStringLiteral("broken-link") << EntryKind::Link;
        QTest::newRow("pure-ftpd japanese")
            << list
            << QStringLiteral("-rw-rw-r--    1 0          0                   8 Dec  7 20:13 テスト.txt")
                   .toUtf8()
            << QStringLiteral("テスト.txt") << EntryKind::File;
        // pyftpdlib.
        QTest::newRow("pyftpdlib folder")
            << list << QByteArray("drwxr-xr-x   2 root     root         4096 Dec 07 20:13 empty")
            << QStringLiteral("empty") << EntryKind::Folder;
        QTest::newRow("pyftpdlib hidden")
            << list << QByteArray("-rw-r--r--   1 root     root            7 Dec 07 20:13 .hidden")
            << QStringLiteral(".hidden") << EntryKind::File;
        // Odd but real shapes.
        QTest::newRow("leading blanks kept")
            << list << QByteArray("-rw-r--r--   1 root     root            7 Dec 07 20:13   two blanks")
            << QStringLiteral("  two blanks") << EntryKind::File;
        QTest::newRow("device file") << list
                                     << QByteArray(
                                            "crw-rw-rw-   1 root     root       1,   3 Dec  7 20:13 null")
                                     << QStringLiteral("null") << EntryKind::File;
        QTest::newRow("no group column") << list << QByteArray("-rw-r--r-- 1 ftp 12 Jan 15 2020 readme")
                                         << QStringLiteral("readme") << EntryKind::File;
        QTest::newRow("acl mark") << list << QByteArray("drwxr-xr-x+  3 user group 4096 Feb 29 09:05 acl")
                                  << QStringLiteral("acl") << EntryKind::Folder;
        QTest::newRow("japanese locale date")
            << list << QStringLiteral("-rw-r--r-- 1 user group 12 12月  7 20:13 日本.txt").toUtf8()
            << QStringLiteral("日本.txt") << EntryKind::File;
        QTest::newRow("iso date") << list
                                  << QByteArray("-rw-r--r-- 1 user group 12 2026-12-07 20:13 iso name.txt")
                                  << QStringLiteral("iso name.txt") << EntryKind::File;
        QTest::newRow("arrow in a file name")
            << list << QByteArray("-rw-r--r-- 1 u g 1 Dec  7 20:13 a -> b.txt")
            << QStringLiteral("a -> b.txt") << EntryKind::File;
        // IIS / DOS.
        QTest::newRow("iis folder") << list
                                    << QByteArray("12-07-26  08:13PM       <DIR>          dir with space")
                                    << QStringLiteral("dir with space") << EntryKind::Folder;
        QTest::newRow("iis file") << list << QByteArray("12-07-26  08:13PM                   12 readme.txt")
                                  << QStringLiteral("readme.txt") << EntryKind::File;
        QTest::newRow("iis file leading blank")
            << list << QByteArray("03-04-19  11:05AM                    4  old.txt")
            << QStringLiteral(" old.txt") << EntryKind::File;
        QTest::newRow("iis folder leading blank")
            << list << QByteArray("12-07-26  08:13PM       <DIR>           lead") << QStringLiteral(" lead")
            << EntryKind::Folder;
        QTest::newRow("dos four-digit year") << list << QByteArray("12-07-2026  20:13  <DIR>  Program Files")
                                             << QStringLiteral("Program Files") << EntryKind::Folder;
        // MLSD.
        QTest::newRow("mlsd pyftpdlib dir") << mlsd
                                            << QByteArray("modify=20261207201337;perm=eldfmMTcp;size=4096;"
                                                          "type=dir;unique=fe00ga7403c; dir with space")
                                            << QStringLiteral("dir with space") << EntryKind::Folder;
        QTest::newRow("mlsd pyftpdlib file")
            << mlsd
            << QStringLiteral(
                   "modify=20261207201337;perm=radfwMT;size=8;type=file;unique=fe00ga74031; テスト.txt")
                   .toUtf8()
            << QStringLiteral("テスト.txt") << EntryKind::File;
        QTest::newRow("mlsd proftpd symlink")
            << mlsd
            << QByteArray("modify=20261207201350;perm=adfrw;size=3;type=OS.unix=symlink;unique=FE00UA7413F;"
                          "UNIX.group=0;UNIX.mode=0777;UNIX.owner=0; link-to-sub")
            << QStringLiteral("link-to-sub") << EntryKind::Link;
        QTest::newRow("mlsd proftpd cdir")
            << mlsd
            << QByteArray("modify=20261207201350;perm=flcdmpe;type=cdir;unique=FE00UA7411C;UNIX.mode=0755; .")
            << QStringLiteral(".") << EntryKind::Self;
        QTest::newRow("mlsd pure-ftpd slink")
            << mlsd
            << QByteArray("type=OS.unix=slink:;size=3;modify=20261207201353;UNIX.mode=0777; link-to-sub")
            << QStringLiteral("link-to-sub") << EntryKind::Link;
        QTest::newRow("mlsd pure-ftpd sizd")
            << mlsd << QByteArray("type=dir;sizd=4096;modify=20261207201353;UNIX.mode=0775; sub")
            << QStringLiteral("sub") << EntryKind::Folder;
        QTest::newRow("mlsd upper-case type")
            << mlsd << QByteArray("Type=Dir;Size=0; Upper") << QStringLiteral("Upper") << EntryKind::Folder;
        QTest::newRow("mlsd name with blanks") << mlsd << QByteArray("type=file;size=1;  lead and trail ")
                                               << QStringLiteral(" lead and trail ") << EntryKind::File;
    }

    void lines() {
        QFETCH(ListingFormat, format);
        QFETCH(QByteArray, line);
        QFETCH(QString, name);
        QFETCH(EntryKind, kind);
        const QList<ListEntry> expected{{name, kind}};
        QCOMPARE(parse(format, {line}), expected);
        QCOMPARE(parse(format, {line + "\r\n"}), expected);
        QCOMPARE(parse(format, {line + "\n"}), expected);
        // Cut at every byte, CR LF included (a cut may fall between CR and LF or inside
        // a multi-byte character).
        const QByteArray whole = line + "\r\n";
        for (qsizetype cut = 0; cut <= whole.size(); ++cut)
            QCOMPARE(parse(format, {whole.left(cut), whole.mid(cut)}), expected);
        QList<QByteArray> bytes;
        for (const char c : whole)
            bytes.append(QByteArray(1, c));
        QCOMPARE(parse(format, bytes), expected);
    }

    void skippedLines_data() {
        QTest::addColumn<ListingFormat>("format");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("total") << ListingFormat::List << QByteArray("total 12");
        QTest::newRow("banner") << ListingFormat::List << QByteArray("Listing of /pub:");
        QTest::newRow("blank") << ListingFormat::List << QByteArray("   ");
        QTest::newRow("mode only") << ListingFormat::List << QByteArray("drwxr-xr-x");
        QTest::newRow("no date") << ListingFormat::List << QByteArray("-rw-r--r-- 1 u g 12 yesterday name");
        QTest::newRow("date without name")
            << ListingFormat::List << QByteArray("-rw-r--r-- 1 u g 12 Dec  7 20:13");
        QTest::newRow("bad month") << ListingFormat::List << QByteArray("-rw-r--r-- 1 u g 12 Foo  7 20:13 x");
        QTest::newRow("dos garbage") << ListingFormat::List << QByteArray("12-07-26 junk");
        QTest::newRow("dos three-digit hour")
            << ListingFormat::List << QByteArray("12-07-26  108:13PM       12 x");
        QTest::newRow("dos three-digit year")
            << ListingFormat::List << QByteArray("12-07-262  08:13PM       12 x");
        QTest::newRow("dos meridiem glued to size")
            << ListingFormat::List << QByteArray("12-07-26  08:13PM12 x");
        QTest::newRow("dos minutes glued to size")
            << ListingFormat::List << QByteArray("12-07-26  08:1312 x");
        QTest::newRow("dos runs of blanks without a size")
            << ListingFormat::List << QByteArray("1-1-11 1:11" + QByteArray(65'000, ' ') + "x");
        QTest::newRow("mlsd without facts separator") << ListingFormat::Mlsd << QByteArray("type=file name");
        QTest::newRow("mlsd no name") << ListingFormat::Mlsd << QByteArray("type=file;size=1;");
        QTest::newRow("mlsd fact without value") << ListingFormat::Mlsd << QByteArray("type;size=1; name");
    }
    void skippedLines() {
        QFETCH(ListingFormat, format);
        QFETCH(QByteArray, line);
        QVERIFY(parse(format, {line + "\r\n"}).isEmpty());
    }

    void wholeListingInServerOrder() {
        const QByteArray listing =
            "total 24\r\n"
            "drwxr-xr-x    2 0        0            4096 Dec 07 20:13 zeta\r\n"
            "-rw-r--r--    1 0        0               7 Dec 07 20:13 alpha.txt\r\n"
            "garbage line\r\n"
            "\r\n"
            "lrwxrwxrwx    1 0        0               3 Dec 07 20:13 middle -> zeta\n"
            "-rw-r--r--    1 0        0               7 Dec 07 20:13 last, no line end";
        const QList<ListEntry> expected{{QStringLiteral("zeta"), EntryKind::Folder},
                                        {QStringLiteral("alpha.txt"), EntryKind::File},
                                        {QStringLiteral("middle"), EntryKind::Link},
                                        {QStringLiteral("last, no line end"), EntryKind::File}};
        QCOMPARE(parse(ListingFormat::List, {listing}), expected);
        for (qsizetype cut = 0; cut <= listing.size(); cut += 7)
            QCOMPARE(parse(ListingFormat::List, {listing.left(cut), listing.mid(cut)}), expected);
    }

    void cp932NamesCutInsideACharacter() {
        const QByteArray line = "-rw-r--r-- 1 0 0 12 Dec  7 20:13 " +
                                codepage::toCp932(QStringLiteral("表示ソフト.txt")) + "\r\n";
        const QList<ListEntry> expected{{QStringLiteral("表示ソフト.txt"), EntryKind::File}};
        for (qsizetype cut = 0; cut <= line.size(); ++cut)
            QCOMPARE(parse(ListingFormat::List, {line.left(cut), line.mid(cut)}, true), expected);
    }

    void dosLinesOfEveryShape() {
        const auto one = [](const QByteArray& line) { return parse(ListingFormat::List, {line + "\r\n"}); };
        const QList<ListEntry> file{{QStringLiteral("a b.txt"), EntryKind::File}};
        QCOMPARE(one("1-2-2026 9:05 AM 7 a b.txt"), file);
        QCOMPARE(one("01-02-26\t09:05\t7 a b.txt"), file);
        QCOMPARE(one("01-02-26  09:05pm 7 a b.txt"), file);
        QCOMPARE(one("01-02-26  09:05   <dir>          sub"),
                 (QList<ListEntry>{{QStringLiteral("sub"), EntryKind::Folder}}));
        // A long run of blanks before the name is kept, whatever its length.
        QCOMPARE(one("01-02-26  09:05 7 " + QByteArray(65'000, ' ') + "x"),
                 (QList<ListEntry>{{QString(65'000, u' ') + u'x', EntryKind::File}}));
    }

    void listingBounds() {
        const auto latin1 = [](QByteArrayView line) { return QString::fromLatin1(line); };
        // Entries: one past the bound ends the listing; the entries so far are kept.
        ListingParser parser(ListingFormat::Mlsd, latin1, {1000, ListingParser::kMaxBytes});
        const QByteArray line = "type=file; n\n";
        QVERIFY(parser.feed(line.repeated(999)));
        QVERIFY(parser.feed(line));
        QVERIFY(!parser.feed(line));
        QVERIFY(parser.exceeded());
        QCOMPARE(parser.entries().size(), 1000);
        QVERIFY(!parser.feed(line));
        parser.finish();
        QCOMPARE(parser.entries().size(), 1000);

        // Bytes: lines that are no entries at all still count, and so does a line end.
        ListingParser junk(ListingFormat::List, latin1, {ListingParser::kMaxEntries, 4096});
        QVERIFY(junk.feed(QByteArray(4096, '\n')));
        QVERIFY(!junk.feed("\n"));
        QVERIFY(junk.entries().isEmpty());
        QCOMPARE(ListingParser::Limits().entries, 2'000'000);
        QCOMPARE(ListingParser::Limits().bytes, 512LL * 1024 * 1024);
    }

    void overlongLineIsDroppedAlone() {
        const QByteArray longLine =
            "-rw-r--r-- 1 0 0 1 Dec  7 20:13 " + QByteArray(ListingParser::kMaxLineLength, 'x');
        const QByteArray listing = longLine + "\r\n-rw-r--r-- 1 0 0 1 Dec  7 20:13 after\r\n";
        const QList<ListEntry> expected{{QStringLiteral("after"), EntryKind::File}};
        QCOMPARE(parse(ListingFormat::List, {listing}), expected);
        QCOMPARE(parse(ListingFormat::List, {listing.left(100), listing.mid(100, 70000), listing.mid(70100)}),
                 expected);
    }
};

QTEST_APPLESS_MAIN(FtpListingTest)
#include "tst_ftplisting.moc"
