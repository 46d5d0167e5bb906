// The server list file and the code page it is written in.
#include "ftp/rules/ServerList.h"
#include "platform/Codepage.h"

#include <QTemporaryDir>
#include <QTest>

class ServerListTest : public QObject {
    Q_OBJECT
private slots:
    void parsesLineEnds_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("entries");
        const QStringList ab{QStringLiteral("ftp.a"), QStringLiteral("ftp.b")};
        QTest::newRow("empty file") << QByteArray() << QStringList();
        QTest::newRow("CR LF after last") << QByteArray("ftp.a\r\nftp.b\r\n") << ab;
        QTest::newRow("lone CR") << QByteArray("ftp.a\rftp.b\r") << ab;
        QTest::newRow("no terminator") << QByteArray("ftp.a\r\nftp.b") << ab;
        QTest::newRow("empty middle line")
            << QByteArray("ftp.a\r\n\r\nftp.b\r\n")
            << QStringList{QStringLiteral("ftp.a"), QString(), QStringLiteral("ftp.b")};
        QTest::newRow("only an empty line") << QByteArray("\r\n") << QStringList{QString()};
        QTest::newRow("blanks kept") << QByteArray(" ftp.a \r\n") << QStringList{QStringLiteral(" ftp.a ")};
        // "ftp.日本.jp" and "サーバー" in CP932
        QTest::newRow("Japanese") << QByteArray("ftp.\x93\xfa\x96\x7b.jp\r\n\x83\x54\x81\x5b\x83\x6f\x81\x5b")
                                  << QStringList{QStringLiteral("ftp.日本.jp"), QStringLiteral("サーバー")};
    }
    void parsesLineEnds() {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, entries);
        QCOMPARE(serverlist::parse(bytes), entries);
    }

    void writesEveryEntryWithCrLf() {
        const QStringList entries{QStringLiteral("ftp.a"), QString(), QStringLiteral("ftp.a"),
                                  QStringLiteral("サーバー")};
        QCOMPARE(serverlist::serialize(entries),
                 QByteArray("ftp.a\r\n\r\nftp.a\r\n\x83\x54\x81\x5b\x83\x6f\x81\x5b\r\n"));
        QCOMPARE(serverlist::parse(serverlist::serialize(entries)), entries);
    }

    void fileRoundTripAndFailures() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ftpsvr.dat"));
        QVERIFY(!serverlist::read(path).has_value()); // missing
        QVERIFY(!serverlist::write(path, {QStringLiteral("x")}).has_value());
        QCOMPARE(serverlist::read(path).value(), QStringList{QStringLiteral("x")});
        // A folder in the way cannot be replaced: the failure is reported, not swallowed.
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("blocked")));
        QVERIFY(
            serverlist::write(dir.filePath(QStringLiteral("blocked")), {QStringLiteral("x")}).has_value());
    }

    void cp932KeepsWindowsCharacters() {
        // Characters where Windows' code page differs from plain Shift_JIS.
        const QString text = QStringLiteral("～∥－￢①Ⅰ㈱髙");
        QCOMPARE(codepage::fromCp932(codepage::toCp932(text)), text);
        QCOMPARE(codepage::toCp932(QStringLiteral("～")), QByteArray("\x81\x60"));
        QCOMPARE(codepage::toCp932(QStringLiteral("①")), QByteArray("\x87\x40"));
    }
};

QTEST_GUILESS_MAIN(ServerListTest)
#include "tst_serverlist.moc"
