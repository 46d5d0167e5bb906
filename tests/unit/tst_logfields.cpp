// Reading the session transcript back as fields and as lines.
#include "ftp/rules/LogFields.h"
#include "ftp/rules/SessionLog.h"
#include "ftp/component/FtpComponent.h"
#include "ftp/component/Transcript.h"
#include "platform/Codepage.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using logfields::NumberSplit;

class LogFieldsTest : public QObject {
    Q_OBJECT
private slots:
    void fields_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("fields");
        QTest::newRow("empty") << QString() << QStringList();
        QTest::newRow("comma splits")
            << QStringLiteral("a,b\r\n") << QStringList{QStringLiteral("a"), QStringLiteral("b")};
        QTest::newRow("last line with CR LF")
            << QStringLiteral("220 ready\r\nUSER x\r\n")
            << QStringList{QStringLiteral("220 ready"), QStringLiteral("USER x")};
        QTest::newRow("no final terminator")
            << QStringLiteral("a\r\nb") << QStringList{QStringLiteral("a"), QStringLiteral("b")};
        QTest::newRow("empty line is an empty field")
            << QStringLiteral("a\r\n\r\nb")
            << QStringList{QStringLiteral("a"), QString(), QStringLiteral("b")};
        QTest::newRow("lone LF and CR")
            << QStringLiteral("a\nb\rc")
            << QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};
        QTest::newRow("leading blanks skipped, trailing dropped")
            << QStringLiteral("  a  ,   b") << QStringList{QStringLiteral("a"), QStringLiteral("b")};
        QTest::newRow("quoted field keeps commas")
            << QStringLiteral("\"a,b\",c") << QStringList{QStringLiteral("a,b"), QStringLiteral("c")};
        QTest::newRow("text after closing quote dropped")
            << QStringLiteral("257 \"/pub\" is current\r\nx")
            << QStringList{QStringLiteral("257 \"/pub\" is current"), QStringLiteral("x")};
        QTest::newRow("PASV numbers") << QStringLiteral("227 Entering Passive Mode (127,0,0,1,4,1)")
                                      << QStringList{QStringLiteral("227 Entering Passive Mode (127"),
                                                     QStringLiteral("0"),
                                                     QStringLiteral("0"),
                                                     QStringLiteral("1"),
                                                     QStringLiteral("4"),
                                                     QStringLiteral("1)")};
    }
    void fields() {
        QFETCH(QString, text);
        QFETCH(QStringList, fields);
        QCOMPARE(logfields::readFields(text), fields);
    }

    void numberSplitGivesTheEndOfAReply() {
        const QStringList size =
            logfields::readFields(QStringLiteral("SIZE /a.txt\r\n213 1048576\r\n"), NumberSplit::Yes);
        QCOMPARE(size.last(), QStringLiteral("1048576"));
        const QStringList pwd = logfields::readFields(
            QStringLiteral("PWD\r\n257 \"/home/user\" is the current directory.\r\n"), NumberSplit::Yes);
        QCOMPARE(pwd.last(), QStringLiteral("/home/user"));
        // Not a number: "226-Transfer" stays one field.
        QCOMPARE(logfields::readFields(QStringLiteral("226-Transfer done"), NumberSplit::Yes),
                 QStringList{QStringLiteral("226-Transfer done")});
    }

    void paneText() {
        QCOMPARE(logfields::fieldsAsPaneText(QString()), QString());
        QCOMPARE(logfields::fieldsAsPaneText(QStringLiteral("a,b\r\nc\r\n")),
                 QStringLiteral("a\r\nb\r\nc\r\n"));
    }

    void linesCrLf() {
        QCOMPARE(logfields::readLinesCrLf(QStringLiteral("a, b\nc\r\n\r\nd")),
                 QStringLiteral("a, b\r\nc\r\n\r\nd\r\n"));
        QCOMPARE(logfields::readLinesCrLf(QString()), QString());
    }

    void tailStartsAtALine() {
        const QString log = QStringLiteral("first line\r\nsecond\r\nthird\r\n");
        QCOMPARE(logfields::tailAtLineStart(log, 1000), log);
        QCOMPARE(logfields::tailAtLineStart(log, 10), QStringLiteral("third\r\n"));
        QCOMPARE(logfields::tailAtLineStart(log, 15), QStringLiteral("second\r\nthird\r\n"));
    }

    void transcriptTailStartsAtALineAndCutsNoCharacter() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("log.txt"));
        QString whole;
        for (int i = 0; i < 2000; ++i)
            whole += QStringLiteral("%1 日本語の応答,行\r\n").arg(i);
        const QByteArray bytes = codepage::toCp932(whole);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();

        QCOMPARE(sessionlog::readTranscript(path), whole);
        QCOMPARE(sessionlog::readTranscript(path, bytes.size()), whole);
        // Every cut, wherever it falls (inside a two-byte character, between CR and LF,
        // right after a line end), gives whole lines from the end of the log.
        for (qint64 maxBytes = 1000; maxBytes < 1040; ++maxBytes) {
            const QString tail = sessionlog::readTranscript(path, maxBytes);
            QVERIFY(!tail.isEmpty());
            QVERIFY(whole.endsWith(tail));
            QCOMPARE(whole.at(whole.size() - tail.size() - 1), u'\n');
            QVERIFY(!tail.contains(QChar::ReplacementCharacter));
            QVERIFY(codepage::toCp932(tail).size() <= maxBytes);
        }
        QVERIFY_THROWS_EXCEPTION(ftp::FtpError,
                                 sessionlog::readTranscript(dir.filePath(QStringLiteral("missing.txt"))));
    }

    // A comma or a leading double quote splits or swallows no line of the transcript.
    void paneShowsEachTranscriptLineAsItself() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("log.txt"));
        {
            ftp::Transcript log;
            QVERIFY(log.open(path, ftp::Transcript::Mode::Replace));
            log.reply(QStringLiteral("227 Entering Passive Mode (127,0,0,1,4,1)"));
            log.reply(QStringLiteral("257 \"/a,b\" is current"));
            log.command(QStringLiteral("\"a"));
            log.note(QStringLiteral("Cannot, really"));
            log.command(QStringLiteral("NOOP"));
        }
        QCOMPARE(
            logfields::fieldsAsPaneText(sessionlog::readTranscript(path)),
            QStringLiteral("227 Entering Passive Mode (127,0,0,1,4,1)\r\n257 \uFF02/a,b\uFF02 is current\r\n"
                           "\uFF02a\r\n# Cannot, really\r\nNOOP\r\n"));
    }
};

QTEST_GUILESS_MAIN(LogFieldsTest)
#include "tst_logfields.moc"
