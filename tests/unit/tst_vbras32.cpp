// The dialler class against a fake of the dial-up services, on both platform kinds: the
// records it hands over, the entry list, one event per dial, hang-up, the connection
// lookup and the error text.
#include "dialup/VBRas32.h"

#include "platform/ras/AnsiText.h"
#include "support/FakeRasApi.h"

#include <QSignalSpy>
#include <QTest>

#include <stdexcept>

using testing::FakeRasApi;

namespace {
const ras::RecordLayout& layoutOf(ras::DWORD platform) {
    return platform == ras::kPlatformWin9x ? ras::kLayout9x : ras::kLayoutNT;
}
} // namespace

class VBRas32Test : public QObject {
    Q_OBJECT

private slots:
    void platforms_data() {
        QTest::addColumn<ras::DWORD>("platform");
        QTest::newRow("9x family") << ras::kPlatformWin9x;
        QTest::newRow("NT family") << ras::kPlatformWinNT;
    }

    void constructionQueriesTheVersionAndEnumeratesOnce_data() { platforms_data(); }
    void constructionQueriesTheVersionAndEnumeratesOnce() {
        QFETCH(ras::DWORD, platform);
        FakeRasApi fake;
        fake.platformId = platform;
        fake.entries = {"office", "home"};
        VBRas32 ras32;
        QCOMPARE(fake.calls,
                 QStringList({QStringLiteral("GetVersionExA"), QStringLiteral("RasEnumEntriesA")}));
        QCOMPARE(fake.versionSizes, QList<ras::DWORD>{148});
        const ras::RecordLayout& layout = layoutOf(platform);
        QCOMPARE(fake.enumRecordSizes, QList<ras::DWORD>{layout.entryNameSize});
        QCOMPARE(fake.enumBufferSizes, QList<ras::DWORD>{256 * layout.entryNameSize});
        QCOMPARE(fake.enumPhoneBookNull, QList<bool>{true});
        QCOMPARE(ras32.platformId(), platform);
        // A fresh instance: monitor on, no connection, every text property empty.
        QVERIFY(ras32.ShowMoniter());
        QCOMPARE(ras32.Connection(), 0);
        QCOMPARE(ras32.Entry(), QString());
        QCOMPARE(ras32.UserID(), QString());
        QCOMPARE(ras32.Password(), QString());
        QCOMPARE(ras32.Domain(), QString());
        QCOMPARE(ras32.PhoneBook(), QString());
        // The list keeps the enumeration's order.
        QCOMPARE(ras32.EntryCount(), 2);
        QCOMPARE(ras32.EnumEntries(0), QStringLiteral("office"));
        QCOMPARE(ras32.EnumEntries(1), QStringLiteral("home"));
    }

    void emptyPhonebook() {
        FakeRasApi fake;
        VBRas32 ras32;
        QCOMPARE(ras32.EntryCount(), 0);
        QCOMPARE(ras32.EnumEntries(0), QString());
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, ras32.EnumEntries(1));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, ras32.EnumEntries(-1));
    }

    void indexAtCountIsTheEmptyExtraElement() {
        FakeRasApi fake;
        fake.entries = {"a", "b", "c"};
        VBRas32 ras32;
        QCOMPARE(ras32.EnumEntries(3), QString());
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, ras32.EnumEntries(4));
    }

    void aNameThatFillsItsFieldIsListedWhole_data() { platforms_data(); }
    void aNameThatFillsItsFieldIsListedWhole() {
        QFETCH(ras::DWORD, platform);
        FakeRasApi fake;
        fake.platformId = platform;
        const int longest = layoutOf(platform).entryNameWidth - 1; // 256 or 20 bytes
        const QByteArray ascii(longest, 'x');
        // Double-byte characters filling the field exactly: "あ" is two bytes.
        const QString kana = QString(longest / 2, QChar(0x3042));
        fake.entries = {ascii, ras::toAnsi(kana)};
        VBRas32 ras32;
        QCOMPARE(ras32.EnumEntries(0), QString::fromLatin1(ascii));
        QCOMPARE(ras32.EnumEntries(1), kana);
    }

    void aNonZeroEnumerationResultIsPassedOnWithTheCountAsLeft() {
        FakeRasApi fake;
        fake.entries = {"one"};
        fake.enumResult = ras::kErrorCannotOpenPhonebook;
        VBRas32 ras32;
        QCOMPARE(ras32.EntryCount(), 1);
        QCOMPARE(ras32.RefreshEntries(), qint32(ras::kErrorCannotOpenPhonebook));
        QCOMPARE(fake.callCount(QStringLiteral("RasEnumEntriesA")), 2);
    }

    void moreEntriesThanTheBufferHoldsListsTheFirst256() {
        FakeRasApi fake;
        for (int i = 0; i < 300; ++i)
            fake.entries.append("e" + QByteArray::number(i));
        fake.enumResult = ras::kErrorBufferTooSmall;
        VBRas32 ras32;
        QCOMPARE(ras32.EntryCount(), 256);
        QCOMPARE(ras32.EnumEntries(255), QStringLiteral("e255"));
        QCOMPARE(ras32.EnumEntries(256), QString());
    }

    void refreshReplacesTheList() {
        FakeRasApi fake;
        fake.entries = {"a", "b"};
        VBRas32 ras32;
        fake.entries = {"c"};
        QCOMPARE(ras32.RefreshEntries(), 0);
        QCOMPARE(ras32.EntryCount(), 1);
        QCOMPARE(ras32.EnumEntries(0), QStringLiteral("c"));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, ras32.EnumEntries(2));
    }

    void phonebookPropertyReachesTheEnumeration() {
        FakeRasApi fake;
        VBRas32 ras32;
        ras32.setPhoneBook(QStringLiteral("/tmp/peers"));
        QCOMPARE(ras32.PhoneBook(), QStringLiteral("/tmp/peers"));
        ras32.RefreshEntries();
        QCOMPARE(fake.enumPhoneBookNull.last(), false);
        QCOMPARE(fake.enumPhoneBooks.last(), QByteArray("/tmp/peers"));
        // An empty text makes the value absent: the default phonebook again.
        ras32.setPhoneBook(QString());
        ras32.RefreshEntries();
        QCOMPARE(fake.enumPhoneBookNull.last(), true);
        QCOMPARE(ras32.PhoneBook(), QString());
    }

    void anUnknownPlatformEnumeratesNothingAndDialsNothing() {
        FakeRasApi fake;
        fake.platformId = 3;
        fake.entries = {"a"};
        VBRas32 ras32;
        QCOMPARE(fake.callCount(QStringLiteral("RasEnumEntriesA")), 0);
        QCOMPARE(ras32.EntryCount(), 0);
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, ras32.EnumEntries(0));
        QCOMPARE(ras32.RefreshEntries(), 0);
        QVERIFY(!ras32.SeekEnumConns(QStringLiteral("a"), true));
        // Nothing dialled is reported as a failure, never as a connection.
        QSignalSpy complete(&ras32, &VBRas32::ConnectComplete);
        QList<qint32> errors;
        connect(&ras32, &VBRas32::ConnectError, this, [&errors](qint32& code) { errors.append(code); });
        QCOMPARE(ras32.Dialup(), qint32(ras::kErrorNotSupported));
        QCOMPARE(complete.count(), 0);
        QCOMPARE(errors, QList<qint32>{qint32(ras::kErrorNotSupported)});
        QCOMPARE(fake.callCount(QStringLiteral("RasDialA")), 0);
    }

    void dialRecordFields_data() { platforms_data(); }
    void dialRecordFields() {
        QFETCH(ras::DWORD, platform);
        FakeRasApi fake;
        fake.platformId = platform;
        VBRas32 ras32;
        ras32.setEntry(QStringLiteral("接続先"));
        ras32.setUserID(QStringLiteral("taro"));
        ras32.setPassword(QStringLiteral("秘密pw"));
        ras32.setDomain(QStringLiteral("WORK"));
        ras32.setPhoneBook(QStringLiteral("/x/pbk"));
        QCOMPARE(ras32.Dialup(), 0);
        QCOMPARE(fake.dials.size(), 1);
        const testing::FakeDial& dial = fake.dials.first();
        QCOMPARE(dial.recordSize, layoutOf(platform).dialParamsSize);
        QVERIFY(dial.fieldsTerminated);
        QCOMPARE(dial.entry, ras::toAnsi(QStringLiteral("接続先")));
        QCOMPARE(dial.phoneNumber, QByteArray());
        QCOMPARE(dial.callbackNumber, QByteArray());
        QCOMPARE(dial.user, QByteArray("taro"));
        QCOMPARE(dial.password, ras::toAnsi(QStringLiteral("秘密pw")));
        QCOMPARE(dial.domain, QByteArray("WORK"));
        QVERIFY(dial.extensionsNull);
        QCOMPARE(dial.notifierType, ras::DWORD(0));
        QVERIFY(dial.notifierNull);
        // The 9x family always dials from the default phonebook.
        if (platform == ras::kPlatformWin9x) {
            QVERIFY(dial.phoneBookNull);
        } else {
            QVERIFY(!dial.phoneBookNull);
            QCOMPARE(dial.phoneBook, QByteArray("/x/pbk"));
        }
    }

    void absentValuesLeaveTheirFieldsEmpty() {
        FakeRasApi fake;
        VBRas32 ras32;
        ras32.Dialup();
        const testing::FakeDial& dial = fake.dials.first();
        QVERIFY(dial.fieldsTerminated);
        QCOMPARE(dial.entry + dial.user + dial.password + dial.domain, QByteArray());
        QVERIFY(dial.phoneBookNull);
    }

    void longTextsAreCutAtTheirFieldNeverMidCharacter_data() { platforms_data(); }
    void longTextsAreCutAtTheirFieldNeverMidCharacter() {
        QFETCH(ras::DWORD, platform);
        const ras::RecordLayout& layout = layoutOf(platform);
        FakeRasApi fake;
        fake.platformId = platform;
        VBRas32 ras32;
        // "a" then double-byte characters: the byte at width - 1 would split one.
        ras32.setEntry(QStringLiteral("a") + QString(300, QChar(0x3042)));
        ras32.setUserID(QString(400, u'u'));
        ras32.setPassword(QString(400, u'p'));
        ras32.setDomain(QStringLiteral("ドメイン名がとても長い"));
        ras32.Dialup();
        const testing::FakeDial& dial = fake.dials.first();
        QVERIFY(dial.fieldsTerminated);
        // width − 1 is 20 or 256: after "a", only whole two-byte characters fit.
        const int entryBytes = 1 + (layout.dialEntryWidth - 2) / 2 * 2;
        QCOMPARE(dial.entry.size(), entryBytes);
        QCOMPARE(ras::fromAnsi(dial.entry),
                 QStringLiteral("a") + QString((entryBytes - 1) / 2, QChar(0x3042)));
        QCOMPARE(dial.user, QByteArray(256, 'u'));
        QCOMPARE(dial.password, QByteArray(256, 'p'));
        QCOMPARE(dial.domain.size(), 14); // 7 double-byte characters in 15 bytes
        // Nothing was written past the domain field.
        const int end = layout.domainOffset() + layout.domainWidth;
        QCOMPARE(dial.record.mid(end), QByteArray(int(layout.dialParamsSize) - end, '\0'));
    }

    void aSuccessfulDialRaisesOnlyConnectComplete_data() { platforms_data(); }
    void aSuccessfulDialRaisesOnlyConnectComplete() {
        QFETCH(ras::DWORD, platform);
        FakeRasApi fake;
        fake.platformId = platform;
        fake.dialHandle = 777;
        VBRas32 ras32;
        QSignalSpy complete(&ras32, &VBRas32::ConnectComplete);
        int errors = 0;
        connect(&ras32, &VBRas32::ConnectError, this, [&errors](qint32&) { ++errors; });
        QCOMPARE(ras32.Dialup(), 0);
        QCOMPARE(complete.count(), 1);
        QCOMPARE(errors, 0);
        QCOMPARE(ras32.Connection(), 777);
        QCOMPARE(fake.callCount(QStringLiteral("RasHangUpA")), 0);
    }

    void aFailedDialHangsUpAndRaisesOnlyConnectError_data() { platforms_data(); }
    void aFailedDialHangsUpAndRaisesOnlyConnectError() {
        QFETCH(ras::DWORD, platform);
        FakeRasApi fake;
        fake.platformId = platform;
        fake.dialResult = 19;
        fake.dialHandle = 555;
        VBRas32 ras32;
        int completes = 0;
        QList<qint32> codes;
        connect(&ras32, &VBRas32::ConnectComplete, this, [&completes] { ++completes; });
        connect(&ras32, &VBRas32::ConnectError, this, [&codes](qint32& code) { codes.append(code); });
        QCOMPARE(ras32.Dialup(), 19);
        QCOMPARE(completes, 0);
        QCOMPARE(codes, QList<qint32>{19});
        // The handle written by the failed dial is hung up, then forgotten.
        QCOMPARE(fake.hangUps, QList<ras::HRASCONN>{555});
        QCOMPARE(ras32.Connection(), 0);
    }

    void dialupReturnsTheCodeTheErrorHandlerLeaves() {
        FakeRasApi fake;
        fake.dialResult = 8;
        VBRas32 ras32;
        connect(&ras32, &VBRas32::ConnectError, this, [](qint32& code) { code = 1234; });
        QCOMPARE(ras32.Dialup(), 1234);
    }

    void theDialHandsOverTheHandleItHolds() {
        FakeRasApi fake;
        fake.dialHandle = 41;
        fake.connections = {{99, "link"}};
        VBRas32 ras32;
        QVERIFY(ras32.SeekEnumConns(QStringLiteral("link"), true));
        ras32.Dialup();
        QCOMPARE(fake.dials.first().handleIn, ras::HRASCONN(99));
        QCOMPARE(ras32.Connection(), 41);
    }

    void monitorBeforeTheDialOnlyOnTheNtFamily() {
        {
            FakeRasApi fake;
            fake.dialResult = 10; // the monitor is asked for even when the dial then fails
            VBRas32 ras32;
            ras32.Dialup();
            QCOMPARE(fake.shellRequests, QStringList{QStringLiteral("Rasmon.exe,2")});
            QVERIFY(fake.calls.indexOf(QStringLiteral("Shell")) <
                    fake.calls.indexOf(QStringLiteral("RasDialA")));
        }
        {
            FakeRasApi fake;
            VBRas32 ras32;
            ras32.setShowMoniter(false);
            ras32.Dialup();
            QCOMPARE(fake.callCount(QStringLiteral("Shell")), 0);
        }
        {
            FakeRasApi fake;
            fake.platformId = ras::kPlatformWin9x;
            VBRas32 ras32;
            QVERIFY(ras32.ShowMoniter());
            ras32.Dialup();
            QCOMPARE(fake.callCount(QStringLiteral("Shell")), 0);
        }
    }

    void hangUpWithoutAConnectionCallsTheSystemWithZero() {
        FakeRasApi fake;
        fake.hangUpResult = ras::kErrorNoConnection;
        VBRas32 ras32;
        QCOMPARE(ras32.HangUp(), qint32(ras::kErrorNoConnection));
        QCOMPARE(fake.hangUps, QList<ras::HRASCONN>{0});
        QCOMPARE(ras32.Connection(), 0);
    }

    void hangUpDropsTheHandle() {
        FakeRasApi fake;
        fake.dialHandle = 321;
        VBRas32 ras32;
        ras32.Dialup();
        QCOMPARE(ras32.HangUp(), 0);
        QCOMPARE(fake.hangUps, QList<ras::HRASCONN>{321});
        QCOMPARE(ras32.Connection(), 0);
    }

    void seekEnumConns_data() { platforms_data(); }
    void seekEnumConns() {
        QFETCH(ras::DWORD, platform);
        FakeRasApi fake;
        fake.platformId = platform;
        fake.connections = {{11, "first"}, {22, "Second"}};
        VBRas32 ras32;
        ras32.setEntry(QStringLiteral("mine"));
        // Found, not adopted.
        QVERIFY(ras32.SeekEnumConns(QStringLiteral("Second"), false));
        QCOMPARE(ras32.Entry(), QStringLiteral("mine"));
        QCOMPARE(ras32.Connection(), 0);
        const ras::RecordLayout& layout = layoutOf(platform);
        QCOMPARE(fake.connRecordSizes.last(), layout.connSize);
        QCOMPARE(fake.connBufferSizes.last(), 2 * layout.connSize);
        // Exact comparison: letter case matters.
        QVERIFY(!ras32.SeekEnumConns(QStringLiteral("second"), true));
        QVERIFY(!ras32.SeekEnumConns(QStringLiteral("Secon"), true));
        QCOMPARE(ras32.Connection(), 0);
        // Adopted.
        QVERIFY(ras32.SeekEnumConns(QStringLiteral("Second"), true));
        QCOMPARE(ras32.Entry(), QStringLiteral("Second"));
        QCOMPARE(ras32.Connection(), 22);
    }

    void seekEnumConnsWithThreeLinksIsFalse() {
        FakeRasApi fake;
        fake.connections = {{1, "a"}, {2, "b"}, {3, "c"}};
        VBRas32 ras32;
        QVERIFY(!ras32.SeekEnumConns(QStringLiteral("a"), true));
        QCOMPARE(ras32.Connection(), 0);
    }

    void errMsgIs255CharactersWithTheMessageFirst() {
        FakeRasApi fake;
        VBRas32 ras32;
        const QString text = ras32.ErrMsg(691);
        QCOMPARE(text.size(), 255);
        QVERIFY(text.startsWith(QStringLiteral("error 691")));
        QCOMPARE(text.at(9), QChar(0)); // not cut at the message's NUL
        QCOMPARE(fake.errorCodes, QList<ras::DWORD>{691});
        QCOMPARE(fake.errorBufferSizes, QList<ras::DWORD>{255});
        // A double-byte message still gives 255 characters.
        fake.errorTextPrefix = ras::toAnsi(QStringLiteral("エラー"));
        QCOMPARE(ras32.ErrMsg(5).size(), 255);
        QVERIFY(ras32.ErrMsg(5).startsWith(QStringLiteral("エラー5")));
    }
};

QTEST_GUILESS_MAIN(VBRas32Test)
#include "tst_vbras32.moc"
