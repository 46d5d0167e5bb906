// Reading the session transcript back as fields and as lines.
#include "ftp/component/FtpComponent.h"
#include "ftp/component/Transcript.h"
#include "ftp/rules/LogFields.h"
#include "ftp/rules/SessionLog.h"
#include "platform/Codepage.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using logfields::NumberSplit;

namespace {
QStringList utf8(std::initializer_list<const char*> texts) {
    QStringList list;
    for (const char* text : texts)
        list.append(QString::fromUtf8(text));
    return list;
}
// What a row of the pane table writes into the transcript.
enum Kind { Reply, Command, Note };
} // namespace

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

    // Each line of the transcript stays one line in the pane, as it was written: a comma
    // or a leading double quote splits or swallows nothing.
    void paneShowsEachTranscriptLineAsItself_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QStringList>("pane");
        QTest::newRow("reply with commas")
            << int(Reply) << utf8({"227 Entering Passive Mode (127,0,0,1,4,1)"})
            << utf8({"227 Entering Passive Mode (127,0,0,1,4,1)"});
        QTest::newRow("commas and quotes") << int(Reply) << utf8({"257 \"/a,b\" is current", "200 \"x"})
                                           << utf8({"257 \uFF02/a,b\uFF02 is current", "200 \"x"});
        QTest::newRow("commands") << int(Command) << utf8({"\"a", "SITE CHMOD 644 a,b"})
                                  << utf8({"\uFF02a", "SITE CHMOD 644 a,b"});
        QTest::newRow("note with a comma")
            << int(Note) << utf8({"Cannot, really"}) << utf8({"# Cannot, really"});
    }
    void paneShowsEachTranscriptLineAsItself() {
        QFETCH(int, kind);
        QFETCH(QStringList, lines);
        QFETCH(QStringList, pane);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("log.txt"));
        {
            ftp::Transcript log;
            QVERIFY(log.open(path, ftp::Transcript::Mode::Replace));
            for (const QString& line : lines) {
                if (kind == Reply)
                    log.reply(line);
                else if (kind == Command)
                    log.command(line);
                else
                    log.note(line);
            }
            log.command(QStringLiteral("NOOP"));
        }
        pane.append(QStringLiteral("NOOP"));
        QCOMPARE(logfields::fieldsAsPaneText(sessionlog::readTranscript(path))
                     .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts),
                 pane);
    }
};

QTEST_GUILESS_MAIN(LogFieldsTest)
#include "tst_logfields.moc"
