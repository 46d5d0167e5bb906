// The saved dial-up credential files byte for byte: the scramble and its decoding, the
// three-line settings file, and whole, owner-only writes.
#include "dialup/Credentials.h"

#include "platform/ras/AnsiText.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace credentials;

namespace {
QString decodeFile(const QByteArray& bytes, bool* ok) {
    QString text;
    *ok = true;
    const QStringList lines = QString::fromLatin1(bytes).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    for (const QString& line : lines) {
        const std::optional<QString> character = decodePasswordLine(line);
        if (!character) {
            *ok = false;
            return text;
        }
        text += *character;
    }
    return text;
}
} // namespace

class CredentialsTest : public QObject {
    Q_OBJECT

private slots:
    void scrambledPasswordFile() {
        QCOMPARE(passwordFileBytes(QStringLiteral("abc")), QByteArray(" 690 \r\n 696 \r\n 702 \r\n"));
        QCOMPARE(passwordFileBytes(kClearedPassword), QByteArray(" 360 \r\n 360 \r\n"));
        QCOMPARE(passwordFileBytes(QString()), QByteArray());
        // Half-width katakana is one byte above 127: still a positive code.
        QCOMPARE(characterCodes(QStringLiteral("ｱ")), QList<qint16>{0xB1});
    }

    void aDoubleByteCharacterGivesANegativeNumber() {
        // "あ" is 0x82A0 in CP932, -32096 as a signed 16-bit value.
        QCOMPARE(characterCodes(QStringLiteral("あ")), QList<qint16>{qint16(-32096)});
        QCOMPARE(passwordFileBytes(QStringLiteral("あ")), QByteArray("-192468 \r\n"));
        QCOMPARE(decodePasswordLine(QStringLiteral("-192468 ")),
                 std::optional<QString>(QStringLiteral("あ")));
    }

    void japanesePasswordRoundTrip() {
        const QString password = QStringLiteral("パス漢字ｶﾅ〇x9!表");
        bool ok = false;
        QCOMPARE(decodeFile(passwordFileBytes(password), &ok), password);
        QVERIFY(ok);
    }

    void settingsFile() {
        QCOMPARE(settingsFileBytes(QStringLiteral("isp"), QStringLiteral("taro"), kSavedFlag),
                 QByteArray("isp\r\ntaro\r\nON\r\n"));
        QCOMPARE(settingsFileBytes(kPlaceholder, kPlaceholder, kClearedFlag),
                 QByteArray("Null\r\nNull\r\nOFF\r\n"));
        QCOMPARE(settingsFileBytes(QString(), QStringLiteral("ユーザー"), kSavedFlag),
                 QByteArray("\r\n") + ras::toAnsi(QStringLiteral("ユーザー")) + "\r\nON\r\n");
    }

    void lineValueReadsLikeBasicsVal_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<double>("value");
        QTest::newRow("as written") << QStringLiteral(" 690 ") << 690.0;
        QTest::newRow("negative") << QStringLiteral("-192468 ") << -192468.0;
        QTest::newRow("blanks inside") << QStringLiteral(" 6 9\t0") << 690.0;
        QTest::newRow("stops at a letter") << QStringLiteral("69x0") << 69.0;
        QTest::newRow("fraction") << QStringLiteral("1.5") << 1.5;
        QTest::newRow("no digits") << QStringLiteral("abc") << 0.0;
        QTest::newRow("empty") << QString() << 0.0;
        QTest::newRow("sign only") << QStringLiteral("-") << 0.0;
    }
    void lineValueReadsLikeBasicsVal() {
        QFETCH(QString, line);
        QFETCH(double, value);
        QCOMPARE(lineValue(line), value);
    }

    void decodingRoundsHalvesToEven() {
        // 693 and 699 stand for 97.5 and 98.5: both round to 98, "b".
        QCOMPARE(decodePasswordLine(QStringLiteral("693")), std::optional<QString>(QStringLiteral("b")));
        QCOMPARE(decodePasswordLine(QStringLiteral("699")), std::optional<QString>(QStringLiteral("b")));
        QCOMPARE(decodePasswordLine(QStringLiteral("694")), std::optional<QString>(QStringLiteral("b")));
    }

    void linesThatGiveNoCharacter_data() {
        QTest::addColumn<QString>("line");
        QTest::newRow("no digits: code -18") << QStringLiteral("garbage");
        QTest::newRow("beyond 16 bits") << QStringLiteral("999999999");
        QTest::newRow("a lone lead byte 0x81") << QString::number(scrambleCode(0x81));
        QTest::newRow("0x80 is no character") << QString::number(scrambleCode(0x80));
        QTest::newRow("two ASCII bytes") << QString::number(scrambleCode(0x4142));
        QTest::newRow("a bad trail byte") << QString::number(scrambleCode(qint16(quint16(0x8120))));
    }
    void linesThatGiveNoCharacter() {
        QFETCH(QString, line);
        QCOMPARE(decodePasswordLine(line), std::nullopt);
    }

    void placeholders() {
        for (const char* text : {"", "Null", "**", "OFF"})
            QVERIFY(isPlaceholderPassword(QString::fromLatin1(text)));
        for (const char* text : {"null", "***", "off", " "})
            QVERIFY(!isPlaceholderPassword(QString::fromLatin1(text)));
    }

    void charactersTheFilesCannotHold() {
        QVERIFY(fitsCodePage(QStringLiteral("パスワード①")));
        QVERIFY(!fitsCodePage(QStringLiteral("€100")));
        QVERIFY(!fitsCodePage(QStringLiteral("😀")));
        // Where CP932 cannot hold a character, the dial record gets "?", as on Windows.
        QCOMPARE(ras::toAnsi(QStringLiteral("a€b")), QByteArray("a?b"));
    }

    void writesAreWholeAndOwnerOnly() {
        QTemporaryDir dir;
        const QString path = dir.filePath(kPasswordFile);
        // An old file others could read.
        {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("old");
            old.close();
            old.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadOther |
                               QFileDevice::ReadGroup);
        }
        QCOMPARE(writeWhole(path, passwordFileBytes(QStringLiteral("abc"))), std::nullopt);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray(" 690 \r\n 696 \r\n 702 \r\n"));
        QCOMPARE(file.permissions() & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        // A new file as well.
        const QString fresh = dir.filePath(kSettingsFile);
        QCOMPARE(writeWhole(fresh, "x"), std::nullopt);
        QCOMPARE(QFile(fresh).permissions() & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        // No leftovers of the write beside the files.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }

    void aWriteThatCannotHappenSaysWhy() {
        QTemporaryDir dir;
        const std::optional<QString> failure =
            writeWhole(dir.filePath(QStringLiteral("missing/Pswd.dat")), "x");
        QVERIFY(failure.has_value());
        QVERIFY(!failure->isEmpty());
    }

    void readingLines() {
        QTemporaryDir dir;
        const ReadLines missing = readLines(dir.filePath(kSettingsFile));
        QCOMPARE(missing.failure, std::optional<QString>(QStringLiteral("ファイルが見つかりません。")));
        QFile file(dir.filePath(kSettingsFile));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(ras::toAnsi(QStringLiteral("接続先\r\nuser\r\nON\r\n")));
        file.close();
        const ReadLines lines = readLines(file.fileName());
        QCOMPARE(lines.failure, std::nullopt);
        QCOMPARE(lines.lines,
                 QStringList({QStringLiteral("接続先"), QStringLiteral("user"), QStringLiteral("ON")}));
    }
};

QTEST_GUILESS_MAIN(CredentialsTest)
#include "tst_credentials.moc"
