// The text rules of the remote commands and the console: file-name check, the lines
// sent, the keyword rows, the reply read back from the log, the Enter key's code.
#include "ftp/rules/RemoteCommands.h"
#include "platform/KeyPress.h"

#include <QKeyEvent>
#include <QTest>

using remotecmd::ConsoleRow;

class RemoteCommandsTest : public QObject {
    Q_OBJECT

private slots:
    void fileNamesHoldADot() {
        QVERIFY(remotecmd::namesAFile(QStringLiteral("/pub/a.txt")));
        QVERIFY(remotecmd::namesAFile(QStringLiteral("/pub.d/readme"))); // a dot in a folder counts
        QVERIFY(remotecmd::namesAFile(QStringLiteral(".")));
        QVERIFY(!remotecmd::namesAFile(QString()));
        QVERIFY(!remotecmd::namesAFile(QStringLiteral("/pub/Makefile")));
        QVERIFY(!remotecmd::namesAFile(QStringLiteral("/pub/ファイル"))); // full-width text, no ASCII dot
    }

    void makeDirectoryLineIsJoinedAsTyped() {
        QCOMPARE(remotecmd::mkdLine(QStringLiteral("/pub"), QStringLiteral("new")),
                 QStringLiteral("MKD /pub/new"));
        QCOMPARE(remotecmd::mkdLine(QString(), QStringLiteral("new")), QStringLiteral("MKD /new"));
        QCOMPARE(remotecmd::mkdLine(QStringLiteral("/pub"), QString()), QStringLiteral("MKD /pub/"));
        QCOMPARE(remotecmd::mkdLine(QStringLiteral("/pub/"), QStringLiteral(" a b ")),
                 QStringLiteral("MKD /pub// a b "));
    }

    void keywordsMatchExactly_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("row");
        QTest::newRow("SIZE") << QStringLiteral("SIZE") << int(ConsoleRow::Size);
        QTest::newRow("HELP") << QStringLiteral("HELP") << int(ConsoleRow::Help);
        QTest::newRow("PWD") << QStringLiteral("PWD") << int(ConsoleRow::Pwd);
        QTest::newRow("MKD") << QStringLiteral("MKD") << int(ConsoleRow::Mkd);
        QTest::newRow("RMD") << QStringLiteral("RMD") << int(ConsoleRow::Rmd);
        QTest::newRow("CDUP") << QStringLiteral("CDUP") << int(ConsoleRow::Cdup);
        QTest::newRow("lower case") << QStringLiteral("size") << int(ConsoleRow::Other);
        QTest::newRow("blank after") << QStringLiteral("PWD ") << int(ConsoleRow::Other);
        QTest::newRow("blank before") << QStringLiteral(" HELP") << int(ConsoleRow::Other);
        QTest::newRow("with argument") << QStringLiteral("SIZE /a.txt") << int(ConsoleRow::Other);
        QTest::newRow("empty") << QString() << int(ConsoleRow::Other);
        QTest::newRow("NOOP") << QStringLiteral("NOOP") << int(ConsoleRow::Other);
    }
    void keywordsMatchExactly() {
        QFETCH(QString, typed);
        QFETCH(int, row);
        QCOMPARE(int(remotecmd::consoleRow(typed)), row);
    }

    void linesSentPerRow() {
        const QString path = QStringLiteral("/pub/a.txt");
        const QString name = QStringLiteral("new");
        auto line = [&](ConsoleRow row, const QString& typed) {
            return remotecmd::consoleLine(row, typed, path, name);
        };
        QCOMPARE(line(ConsoleRow::Size, QStringLiteral("SIZE")), QStringLiteral("SIZE /pub/a.txt"));
        QCOMPARE(line(ConsoleRow::Help, QStringLiteral("HELP")), QStringLiteral("HELP"));
        QCOMPARE(line(ConsoleRow::Pwd, QStringLiteral("PWD")), QStringLiteral("PWD"));
        QCOMPARE(line(ConsoleRow::Mkd, QStringLiteral("MKD")), QStringLiteral("MKD /pub/a.txt/new"));
        QCOMPARE(line(ConsoleRow::Rmd, QStringLiteral("RMD")), QStringLiteral("RMD /pub/a.txt"));
        QCOMPARE(line(ConsoleRow::Cdup, QStringLiteral("CDUP")), QStringLiteral("CDUP"));
        QCOMPARE(line(ConsoleRow::Other, QStringLiteral("  noop ")), QStringLiteral("  noop "));
        QCOMPARE(line(ConsoleRow::Other, QString()), QString());
        // An empty remote path still gets its one blank.
        QCOMPARE(remotecmd::consoleLine(ConsoleRow::Size, QStringLiteral("SIZE"), QString(), QString()),
                 QStringLiteral("SIZE "));
    }

    void lastFieldIsTheEndOfTheLastReply() {
        const QString previous = QStringLiteral("kept");
        // SIZE: the number after the reply code.
        QCOMPARE(remotecmd::lastLogField(QStringLiteral("USER a\r\n230 ok\r\nSIZE /a.bin\r\n213 1048576\r\n"),
                                         previous),
                 QStringLiteral("1048576"));
        // PWD: the folder inside the quotes, even with commas after it.
        QCOMPARE(remotecmd::lastLogField(
                     QStringLiteral("PWD\r\n257 \"/pub/a, b\" is the current directory.\r\n"), previous),
                 QStringLiteral("/pub/a, b"));
        // A last line without line end counts; a lone LF ends a line too.
        QCOMPARE(remotecmd::lastLogField(QStringLiteral("SIZE x\n213 77"), previous), QStringLiteral("77"));
        // A reply holding commas ends in its last piece.
        QCOMPARE(remotecmd::lastLogField(QStringLiteral("227 Entering Passive Mode (127,0,0,1,4,1)\r\n"),
                                         previous),
                 QStringLiteral("1)"));
        // Japanese text survives.
        QCOMPARE(remotecmd::lastLogField(QStringLiteral("257 \"/データ\" created\r\n"), previous),
                 QStringLiteral("/データ"));
    }

    void emptyLogKeepsThePreviousField() {
        QCOMPARE(remotecmd::lastLogField(QString(), QStringLiteral("1048576")), QStringLiteral("1048576"));
        QCOMPARE(remotecmd::lastLogField(QString(), QString()), QString());
    }

    void enterIsCharacterCode13() {
        const QKeyEvent ret(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
        const QKeyEvent enter(QEvent::KeyPress, Qt::Key_Enter, Qt::KeypadModifier, QStringLiteral("\r"));
        const QKeyEvent noText(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        const QKeyEvent letter(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        const QKeyEvent kana(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QStringLiteral("あ"));
        const QKeyEvent arrow(QEvent::KeyPress, Qt::Key_Left, Qt::NoModifier);
        QCOMPARE(platform::characterCode(ret), 13);
        QCOMPARE(platform::characterCode(enter), 13);
        QCOMPARE(platform::characterCode(noText), 13);
        QCOMPARE(platform::characterCode(letter), int('a'));
        QCOMPARE(platform::characterCode(kana), int(u'あ'));
        QCOMPARE(platform::characterCode(arrow), 0);
    }
};

QTEST_GUILESS_MAIN(RemoteCommandsTest)
#include "tst_remotecommands.moc"
