// "ファイル削除" and the make-directory panel, over the component double.
#include "support/FakeSession.h"
#include "support/RecordingSoundPlayer.h"
#include "support/WidgetText.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using testing::entries;

using testing::FakeSession;

namespace {

void click(testing::MainWindow& w, const char* name) {
    auto* button = w.findChild<QPushButton*>(QLatin1String(name));
    QVERIFY2(button, name);
    QTest::mouseClick(button, Qt::LeftButton);
}

bool looksOpen(const QLineEdit* box) {
    return box->isEnabled() && box->styleSheet().contains(QStringLiteral("rgb(192, 192, 255)"));
}

bool looksClosed(const QLineEdit* box) {
    return !box->isEnabled() && box->styleSheet().contains(QStringLiteral("rgb(192, 192, 192)"));
}

} // namespace

class RemoteOperationsTest : public QObject {
    Q_OBJECT

private slots:
    void deleteNeedsAFileName() {
        FakeSession s;
        auto* sound = testing::RecordingSoundPlayer::install(s.w);
        s.connect();
        for (const QString& path : {QString(), QStringLiteral("/pub/docs")}) {
            s.w.Combo4->setEditText(path);
            const qsizetype mark = s.calls().size();
            click(s.w, "cmdDelfile");
            QCOMPARE(s.callsSince(mark), QStringList());
            QCOMPARE(s.boxes.shown.size(), 1);
            QCOMPARE(s.boxes.shown.last().text, QStringLiteral("ファイル名が選択されていません。"));
            QCOMPARE(s.boxes.shown.last().buttons, platform::MsgButtons::OkOnly);
            QCOMPARE(s.boxes.shown.last().icon, platform::MsgIcon::None);
            QCOMPARE(s.boxes.shown.last().title, QStringLiteral("TesselFTP"));
            s.boxes.shown.clear();
        }
        QCOMPARE(s.w.Label2->text(), QStringLiteral("接続成功。"));
        QCOMPARE(sound->plays(), 0);
    }

    void deleteListsTheFolderAgain() {
        FakeSession s;
        s.script().folders[QStringLiteral("/pub")] = QStringList{QStringLiteral("sub")};
        s.script().files[QStringLiteral("/pub")] =
            QStringList{QStringLiteral("a.txt"), QStringLiteral("b.txt")};
        s.script().deleteResult = -1; // any non-zero result means deleted
        auto* sound = testing::RecordingSoundPlayer::install(s.w);
        s.connect();
        s.listAt(QStringLiteral("/pub"));
        FakeSession::clickEntry(s.w.List2, QStringLiteral("a.txt"));
        QCOMPARE(s.w.Combo4->currentText(), QStringLiteral("/pub/a.txt"));

        s.script().files[QStringLiteral("/pub")] =
            QStringList{QStringLiteral("b.txt")}; // the server's side now
        const qsizetype mark = s.calls().size();
        click(s.w, "cmdDelfile");
        QCOMPARE(s.callsSince(mark),
                 (QStringList{QStringLiteral("DeleteFile(/pub/a.txt)"), QStringLiteral("GetDir(/pub,1)"),
                              QStringLiteral("GetDir(/pub)")}));
        QCOMPARE(s.w.retCode(), -1);
        QCOMPARE(s.w.Label2->text(), QStringLiteral("削除しました。"));
        QCOMPARE(s.w.Combo4->currentText(), QStringLiteral("/pub"));
        QCOMPARE(entries(s.w.List1), QStringList{QStringLiteral("sub")});
        QCOMPARE(entries(s.w.List2), QStringList{QStringLiteral("b.txt")});
        QVERIFY(s.boxes.shown.isEmpty());
        QCOMPARE(sound->plays(), 1);
        QCOMPARE(sound->calls.first(), QStringLiteral("FileName=") + s.env.path(QStringLiteral("PUPU.wav")));
    }

    void refusedDeleteOnlyChangesTheStatus() {
        FakeSession s;
        s.script().files[QStringLiteral("/pub")] = QStringList{QStringLiteral("a.txt")};
        s.script().deleteResult = 0;
        s.script().reply = QStringLiteral("550 a.txt: Permission denied");
        auto* sound = testing::RecordingSoundPlayer::install(s.w);
        s.connect();
        s.listAt(QStringLiteral("/pub"));
        FakeSession::clickEntry(s.w.List2, QStringLiteral("a.txt"));
        const qsizetype mark = s.calls().size();
        click(s.w, "cmdDelfile");
        QCOMPARE(s.callsSince(mark),
                 (QStringList{QStringLiteral("DeleteFile(/pub/a.txt)"), QStringLiteral("GetReply()")}));
        QCOMPARE(s.w.Label2->text(), QStringLiteral("Error!!"));
        QCOMPARE(s.w.Label2->toolTip(), QStringLiteral("サーバーの応答: 550 a.txt: Permission denied"));
        QCOMPARE(s.w.Combo4->currentText(), QStringLiteral("/pub/a.txt"));
        QCOMPARE(entries(s.w.List2), QStringList{QStringLiteral("a.txt")});
        QVERIFY(s.boxes.shown.isEmpty());
        QCOMPARE(sound->plays(), 0);
    }

    void deleteFailuresShowTheErrorBox() {
        FakeSession s;
        auto* sound = testing::RecordingSoundPlayer::install(s.w);
        // Not connected: nothing can be sent.
        s.w.Combo4->setEditText(QStringLiteral("/pub/a.txt"));
        click(s.w, "cmdDelfile");
        QCOMPARE(s.boxes.texts(), QStringList{QStringLiteral("ERROR !!")});
        QCOMPARE(s.boxes.shown.last().buttons, platform::MsgButtons::OkOnly);
        QCOMPARE(s.boxes.shown.last().icon, platform::MsgIcon::None);
        QCOMPARE(s.w.Label2->text(), QStringLiteral("+++"));

        // The component fails while deleting.
        s.boxes.shown.clear();
        s.script().failing = QStringList{QStringLiteral("DeleteFile")};
        s.connect();
        s.w.Combo4->setEditText(QStringLiteral("/pub/a.txt"));
        click(s.w, "cmdDelfile");
        QCOMPARE(s.boxes.texts(), QStringList{QStringLiteral("ERROR !!")});
        QCOMPARE(s.w.Label2->text(), QStringLiteral("接続成功。"));
        QCOMPARE(s.w.Combo4->currentText(), QStringLiteral("/pub/a.txt"));
        QCOMPARE(sound->plays(), 0);
    }

    void panelOpensAndCloses() {
        FakeSession s;
        QLineEdit* box = s.w.MakeDirTxt;
        QVERIFY(looksClosed(box));

        click(s.w, "cmdMkDir");
        QVERIFY(looksOpen(box));
        QCOMPARE(box->text(), QString());
        QTest::keyClicks(box, QStringLiteral("new"));
        QCOMPARE(box->text(), QStringLiteral("new"));
        click(s.w, "cmdMkDir"); // opening again keeps the text
        QCOMPARE(box->text(), QStringLiteral("new"));

        click(s.w, "cmdMkDirNext");
        QVERIFY(looksClosed(box));
        QCOMPARE(box->text(), QString());
        click(s.w, "cmdMkDir");
        QVERIFY(looksOpen(box));
        QCOMPARE(box->text(), QString());
        QVERIFY(s.calls().isEmpty()); // opening and closing the panel sends nothing
    }

    void okSendsMkdAndListsTheParent() {
        FakeSession s;
        s.connect();
        s.script().folders[QStringLiteral("/pub")] = QStringList{QStringLiteral("new")};
        s.script().commandResults = {5}; // the reply is not examined
        s.w.Combo4->setEditText(QStringLiteral("/pub"));
        click(s.w, "cmdMkDir");
        s.w.MakeDirTxt->setText(QStringLiteral("new"));
        const int historyBefore = s.w.Combo4->count();
        const qsizetype mark = s.calls().size();
        click(s.w, "cmdMkDirOk");
        QCOMPARE(s.callsSince(mark),
                 (QStringList{QStringLiteral("Command(MKD /pub/new)"), QStringLiteral("GetDir(/pub,1)"),
                              QStringLiteral("GetDir(/pub)")}));
        QCOMPARE(s.w.retCode(), 5);
        QCOMPARE(s.w.Label2->text(), QStringLiteral("MKDコマンドの送信をしました。"));
        QCOMPARE(s.w.MakeDirTxt->text(), QString());
        QVERIFY(looksOpen(s.w.MakeDirTxt)); // OK leaves the panel open
        QCOMPARE(s.w.remoteDir(), QStringLiteral("/pub"));
        QCOMPARE(s.w.Combo4->count(), historyBefore + 1);
        QCOMPARE(s.w.Combo4->itemText(historyBefore), QStringLiteral("/pub"));
        QCOMPARE(entries(s.w.List1), QStringList{QStringLiteral("new")});
        QVERIFY(s.boxes.shown.isEmpty());
    }

    void okJoinsTheLineAsTyped() {
        FakeSession s;
        s.connect();
        // An empty remote path: the folder goes under the root.
        s.w.Combo4->setEditText(QString());
        s.w.MakeDirTxt->setText(QStringLiteral("new"));
        qsizetype mark = s.calls().size();
        click(s.w, "cmdMkDirOk");
        QCOMPARE(s.callsSince(mark).value(0), QStringLiteral("Command(MKD /new)"));
        // The panel never opened: the disabled, empty box gives a line ending in "/".
        s.w.Combo4->setEditText(QStringLiteral("/pub"));
        QVERIFY(!s.w.MakeDirTxt->isEnabled());
        mark = s.calls().size();
        click(s.w, "cmdMkDirOk");
        QCOMPARE(s.callsSince(mark).value(0), QStringLiteral("Command(MKD /pub/)"));
    }

    void okFailuresShowTheMkdBox() {
        FakeSession s;
        // Not connected.
        s.w.Combo4->setEditText(QStringLiteral("/pub"));
        click(s.w, "cmdMkDir");
        s.w.MakeDirTxt->setText(QStringLiteral("new"));
        click(s.w, "cmdMkDirOk");
        QCOMPARE(s.boxes.texts(), QStringList{QStringLiteral("MKD Error !!")});
        QCOMPARE(s.boxes.shown.last().buttons, platform::MsgButtons::OkOnly);
        QCOMPARE(s.boxes.shown.last().icon, platform::MsgIcon::None);
        QCOMPARE(s.w.MakeDirTxt->text(), QString());
        QCOMPARE(s.w.Label2->text(), QStringLiteral("+++"));

        // The component fails on the command: nothing is listed.
        s.boxes.shown.clear();
        s.connect();
        s.script().failing = QStringList{QStringLiteral("Command")};
        s.w.MakeDirTxt->setText(QStringLiteral("new"));
        const qsizetype mark = s.calls().size();
        click(s.w, "cmdMkDirOk");
        QCOMPARE(s.callsSince(mark), QStringList{QStringLiteral("Command(MKD /pub/new)")});
        QCOMPARE(s.boxes.texts(), QStringList{QStringLiteral("MKD Error !!")});
        QCOMPARE(s.w.MakeDirTxt->text(), QString());
        QCOMPARE(s.w.Label2->text(), QStringLiteral("接続成功。"));
    }
};

QTEST_MAIN(RemoteOperationsTest)
#include "tst_remoteoperations.moc"
