// What transfers are checked against, part file names, and the in-place line-end
// conversion of text downloads.
#include "ftp/component/LineEnds.h"
#include "ftp/component/PartFile.h"
#include "ftp/component/TransferChecks.h"

#include <QFile>
#include <QTest>

using namespace ftp;

namespace {

Reply reply(int code, const QString& text) {
    return Reply{code, text.split(u'\n')};
}

} // namespace

class TransferChecksTest : public QObject {
    Q_OBJECT

private slots:
    void sizes() {
        QCOMPARE(announcedSize(reply(150, QStringLiteral("150 Opening BINARY mode data connection for "
                                                         "report (5 bytes).txt (100 bytes)."))),
                 std::optional<qint64>(100));
        QCOMPARE(announcedSize(reply(150, QStringLiteral("150 Opening data for x (5000000000 bytes)"))),
                 std::optional<qint64>(5'000'000'000));
        // Not at the end of the line: a name, not a size.
        QCOMPARE(announcedSize(reply(150, QStringLiteral("150 Opening for report (5 bytes).txt"))),
                 std::nullopt);
        QCOMPARE(announcedSize(reply(150, QStringLiteral("150 (99999999999999999999 bytes)"))), std::nullopt);
        QCOMPARE(sizeFromReply(reply(213, QStringLiteral("213 1234"))), std::optional<qint64>(1234));
        QCOMPARE(sizeFromReply(reply(550, QStringLiteral("550 No such file"))), std::nullopt);
        QCOMPARE(sizeFromReply(reply(213, QStringLiteral("213 -5"))), std::nullopt);
    }

    void hashMethods() {
        HashMethod m =
            hashMethodFromFeatures({QStringLiteral(" SIZE"), QStringLiteral(" HASH SHA-1;SHA-256*;MD5")});
        QCOMPARE(m.command, HashMethod::Hash);
        QCOMPARE(m.algorithm, QCryptographicHash::Sha256);
        QVERIFY(m.selected);
        m = hashMethodFromFeatures({QStringLiteral(" HASH CRC32*;MD5")});
        QCOMPARE(m.command, HashMethod::Hash);
        QCOMPARE(m.name, QStringLiteral("MD5"));
        QVERIFY(!m.selected);
        // HASH naming nothing known: the older commands, best first.
        m = hashMethodFromFeatures(
            {QStringLiteral(" HASH CRC32"), QStringLiteral(" XMD5"), QStringLiteral(" XSHA1")});
        QCOMPARE(m.command, HashMethod::XSha1);
        QCOMPARE(m.verb(), QStringLiteral("XSHA1"));
        QVERIFY(!hashMethodFromFeatures({QStringLiteral(" MDTM")}).offered());

        const QByteArray sha1 = QCryptographicHash::hash("x", QCryptographicHash::Sha1).toHex();
        const HashMethod x{HashMethod::XSha1, QCryptographicHash::Sha1, {}, true};
        QCOMPARE(digestFromReply(reply(213, u"213 " + QString::fromLatin1(sha1.toUpper())), x),
                 std::optional<QByteArray>(sha1));
        QCOMPARE(digestFromReply(reply(213, QStringLiteral("213 SHA-1 0-0 ") + QString::fromLatin1(sha1) +
                                                QStringLiteral(" /a")),
                                 x),
                 std::optional<QByteArray>(sha1));
        QCOMPARE(digestFromReply(reply(213, QStringLiteral("213 abc")), x), std::nullopt);
        QCOMPARE(digestFromReply(reply(550, u"550 " + QString::fromLatin1(sha1)), x), std::nullopt);
    }

    void partFileNamesStayWithinTheLimit() {
        QCOMPARE(partfile::nameFor(QStringLiteral("a.txt"), QStringLiteral("xyz")),
                 QStringLiteral(".a.txt.xyz.part"));
        const QString unique = QStringLiteral("1z141z3");
        const QString kana(120, QChar(0x3042)); // 360 bytes
        const QString longAscii(300, u'b');
        const QString withEmoji = QString(200, u'c') + QString::fromUcs4(U"\U0001F600").repeated(20);
        for (const QString& name : {kana, longAscii, withEmoji}) {
            const QString part = partfile::nameFor(name, unique);
            QVERIFY2(QFile::encodeName(part).size() <= partfile::kNameLimit, qPrintable(part));
            QVERIFY(part.endsWith(u'.' + unique + QStringLiteral(".part")));
            QVERIFY(!part.contains(QChar(QChar::ReplacementCharacter)));
        }
        // Two long names alike in their start still get different part names.
        QVERIFY(partfile::nameFor(longAscii + u'1', unique) != partfile::nameFor(longAscii + u'2', unique));
    }

    void crLfTurnedIntoLfInPlace() {
        // Cut at every point, the converted whole is the same.
        const QByteArray wire = "one\r\ntwo\rthree\r\n\r\nfour\r";
        for (qsizetype cut = 0; cut <= wire.size(); ++cut) {
            CrlfToLf converter;
            QByteArray out;
            for (QByteArray piece : {wire.left(cut), wire.mid(cut)}) {
                bool crFirst = false;
                const qint64 n = converter.convertInPlace(piece.data(), piece.size(), crFirst);
                if (crFirst)
                    out += '\r';
                out += piece.left(n);
            }
            converter.finish(out);
            QCOMPARE(out, QByteArray("one\ntwo\rthree\n\nfour\r"));
        }
    }
};

QTEST_GUILESS_MAIN(TransferChecksTest)
#include "tst_transferchecks.moc"
