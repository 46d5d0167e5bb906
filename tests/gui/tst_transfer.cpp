// The upload and download buttons over the component double, with scripted message
// boxes and a recording sound player.
#include "support/MainWindow.h"
#include "platform/LocalLists.h"
#include "support/FakeFtpComponent.h"
#include "support/RecordingSoundPlayer.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestEnvironment.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;

namespace {

const QString kNotSelected = QStringLiteral("「選択」ボタンが押されていないようです｡ ");
const QString kNoTarget = QStringLiteral("ファイル名が選択されていないか、保存場所を指定されていません。");
const QString kBadName = QStringLiteral("このファイル名では保存できません。");
const QString kSending = QStringLiteral("ファイルの送信中です");
const QString kSent = QStringLiteral("ファイルの送信完了です");
const QString kReceiving = QStringLiteral("ファイルの受信中です");
const QString kReceived = QStringLiteral("ファイルの受信完了です");

struct Session {
    testing::TestEnvironment env;
    testing::FakeFtpInstall fake;
    testing::ScriptedMessageBoxes boxes;
    QTemporaryDir local;
    testing::MainWindow w;
    testing::RecordingSoundPlayer* sound = testing::RecordingSoundPlayer::install(w);

    Session() {
        fake.script().folders[QStringLiteral("/pub")] = QStringList{QStringLiteral("sub")};
        fake.script().files[QStringLiteral("/pub")] =
            QStringList{QStringLiteral("a.txt"), QStringLiteral("b.bin"), QStringLiteral("x\\y.txt")};
        w.show();
    }

    QStringList& calls() { return fake.record().calls; }
    QStringList callsOf(const QString& operation) {
        QStringList result;
        for (const QString& call : calls())
            if (call.startsWith(operation + u'('))
                result.append(call);
        return result;
    }
    QString localPath(const QString& name) const { return QDir::toNativeSeparators(local.filePath(name)); }

    void connectAndList(const QString& path) {
        w.mnuConect->trigger();
        w.Combo4->setEditText(path);
        w.Command1->click();
    }
    void clickRemoteFile(const QString& name) {
        const QList<QListWidgetItem*> found = w.List2->findItems(name, Qt::MatchExactly);
        QVERIFY2(!found.isEmpty(), qPrintable(name));
        QTest::mouseClick(w.List2->viewport(), Qt::LeftButton, {},
                          w.List2->visualItemRect(found.first()).center());
    }
    void upload() { QTest::mouseClick(w.Command5, Qt::LeftButton); }
    void download() { QTest::mouseClick(w.Command6, Qt::LeftButton); }
    QStringList soundCalls() const {
        return {QStringLiteral("FileName=") + frmTesselFTP::MyPath() + QStringLiteral("PUPU.wav"),
                QStringLiteral("Open"), QStringLiteral("Prev"), QStringLiteral("Play")};
    }
};

} // namespace

class TransferTest : public QObject {
    Q_OBJECT

private slots:
    void uploadNeedsADotInThePath() {
        Session s;
        s.connectAndList(QStringLiteral("/pub"));
        for (const QString& text : {QString(), QStringLiteral("/data/readme")}) {
            s.w.Text3->setText(text);
            s.upload();
        }
        QCOMPARE(s.boxes.texts(), (QStringList{kNotSelected, kNotSelected}));
        QCOMPARE(s.boxes.shown.first().buttons, MsgButtons::OkOnly);
        QCOMPARE(s.boxes.shown.first().icon, MsgIcon::None);
        QCOMPARE(s.boxes.shown.first().title, QStringLiteral("TesselFTP"));
        QVERIFY(s.callsOf(QStringLiteral("PutFile")).isEmpty());
        QCOMPARE(s.w.Label2->text(), QStringLiteral("接続成功。"));
        QVERIFY(s.sound->calls.isEmpty());

        s.w.Text3->setText(QStringLiteral("/old.files/readme"));
        s.upload();
        QCOMPARE(s.callsOf(QStringLiteral("PutFile")),
                 QStringList{QStringLiteral("PutFile(/old.files/readme,/pub/,0)")});
    }

    void uploadSendsToTheRemotePathAndListsIt() {
        Session s;
        s.connectAndList(QStringLiteral("/pub"));
        const QString file = s.localPath(QStringLiteral("up.txt"));
        s.w.Text3->setText(file);
        s.upload();
        QCOMPARE(s.callsOf(QStringLiteral("PutFile")),
                 QStringList{QStringLiteral("PutFile(%1,/pub/,0)").arg(file)});
        QCOMPARE(s.w.Label2->text(), kSent);
        QVERIFY(s.w.Text3->text().isEmpty());
        QCOMPARE(s.calls().mid(s.calls().indexOf(QStringLiteral("PutFile(%1,/pub/,0)").arg(file)) + 1),
                 (QStringList{QStringLiteral("GetDir(/pub,1)"), QStringLiteral("GetDir(/pub)")}));
        QCOMPARE(s.sound->calls, s.soundCalls());

        // An empty remote path sends to "/".
        s.w.Combo4->setEditText(QString());
        s.w.Text3->setText(file);
        s.upload();
        QCOMPARE(s.callsOf(QStringLiteral("PutFile")).last(), QStringLiteral("PutFile(%1,/,0)").arg(file));

        // After a click in the remote file list the file's path is the destination folder,
        // and it is listed and becomes the current directory.
        s.w.Combo4->setEditText(QStringLiteral("/pub"));
        s.w.Command1->click();
        s.clickRemoteFile(QStringLiteral("a.txt"));
        QCOMPARE(s.w.Combo4->currentText(), QStringLiteral("/pub/a.txt"));
        s.w.Text3->setText(file);
        s.upload();
        QCOMPARE(s.callsOf(QStringLiteral("PutFile")).last(),
                 QStringLiteral("PutFile(%1,/pub/a.txt/,0)").arg(file));
        QCOMPARE(s.calls().last(), QStringLiteral("GetDir(/pub/a.txt)"));
        QCOMPARE(s.w.remoteDir(), QStringLiteral("/pub/a.txt"));
        QCOMPARE(s.w.Combo4->itemText(s.w.Combo4->count() - 1), QStringLiteral("/pub/a.txt"));
        // Three uploads, three sounds, each from the start.
        QCOMPARE(s.sound->plays(), 3);
        QCOMPARE(s.sound->calls, s.soundCalls() + s.soundCalls() + s.soundCalls());
    }

    void theModeIsReadAtClickTime() {
        Session s;
        s.connectAndList(QStringLiteral("/pub"));
        s.w.Option1[1]->click();
        s.w.Text3->setText(QStringLiteral("/tmp/x.bin"));
        s.upload();
        QCOMPARE(s.callsOf(QStringLiteral("PutFile")).last(), QStringLiteral("PutFile(/tmp/x.bin,/pub/,1)"));
        QCOMPARE(s.w.transferMode(), 1);

        s.clickRemoteFile(QStringLiteral("b.bin"));
        s.w.Text3->setText(s.localPath(QString()) + QDir::separator());
        s.download();
        QVERIFY(s.callsOf(QStringLiteral("GetFile")).last().endsWith(QStringLiteral(",1)")));

        s.w.Option1[0]->click();
        s.clickRemoteFile(QStringLiteral("a.txt"));
        s.download();
        QVERIFY(s.callsOf(QStringLiteral("GetFile")).last().endsWith(QStringLiteral(",0)")));
        QCOMPARE(s.w.transferMode(), 0);
    }

    void retryRunsTheFailedCallAgain() {
        Session s;
        s.connectAndList(QStringLiteral("/pub"));
        s.fake.script().failing = {QStringLiteral("PutFile:1"), QStringLiteral("GetFile:1")};
        s.boxes.answers = {MsgResult::Retry, MsgResult::Retry};
        s.w.Text3->setText(QStringLiteral("/tmp/a.txt"));
        s.upload();
        QCOMPARE(s.callsOf(QStringLiteral("PutFile")).size(), 2);
        QCOMPARE(s.w.Label2->text(), kSent);
        QVERIFY(s.w.Text3->text().isEmpty());

        s.clickRemoteFile(QStringLiteral("a.txt"));
        s.w.Text3->setText(s.localPath(QString()) + QDir::separator());
        s.download();
        QCOMPARE(s.callsOf(QStringLiteral("GetFile")).size(), 2);
        QCOMPARE(s.w.Label2->text(), kReceived);

        QCOMPARE(s.boxes.texts(), (QStringList{QStringLiteral("Error!"), QStringLiteral("Error!")}));
        for (const testing::ShownBox& box : s.boxes.shown) {
            QCOMPARE(box.buttons, MsgButtons::RetryCancel);
            QCOMPARE(box.icon, MsgIcon::None);
            QCOMPARE(box.title, QStringLiteral("TesselFTP"));
        }
        QCOMPARE(s.sound->plays(), 2);
        QVERIFY(s.callsOf(QStringLiteral("GiveUpTransfer")).isEmpty());
    }

    void aFailedTransferNeverSaysComplete() {
        Session s;
        // Not connected: the call fails each time; Retry asks again, Cancel gives up.
        s.boxes.answers = {MsgResult::Retry, MsgResult::Cancel};
        s.w.Option1[1]->click();
        s.w.Text3->setText(QStringLiteral("/tmp/a.txt"));
        s.upload();
        QCOMPARE(s.boxes.texts(), (QStringList{QStringLiteral("Error!"), QStringLiteral("Error!")}));
        QCOMPARE(s.w.Label2->text(), kSending);
        QCOMPARE(s.w.Text3->text(), QStringLiteral("/tmp/a.txt"));
        QCOMPARE(s.w.transferMode(), 1);
        QVERIFY(s.sound->calls.isEmpty());

        // Connected, but the engine reports the download as failed.
        s.connectAndList(QStringLiteral("/pub"));
        s.fake.script().failing = {QStringLiteral("GetFile")};
        s.boxes.shown.clear();
        s.clickRemoteFile(QStringLiteral("a.txt"));
        s.w.Text3->setText(s.localPath(QString()) + QDir::separator());
        s.download();
        QCOMPARE(s.boxes.texts(), QStringList{QStringLiteral("Error!")});
        QCOMPARE(s.w.Label2->text(), kReceiving);
        QCOMPARE(s.w.Combo4->currentText(), QStringLiteral("/pub/a.txt"));
        QVERIFY(s.sound->calls.isEmpty());
        // Cancel tells the component that nothing will retry the download.
        QCOMPARE(s.callsOf(QStringLiteral("GiveUpTransfer")).size(), 1);
    }

    void downloadNeedsAFileAndAPlace() {
        Session s;
        s.connectAndList(QStringLiteral("/pub"));
        s.w.List1->setCurrentRow(0); // a folder: /pub/sub has no "."
        QCOMPARE(s.w.Combo4->currentText(), QStringLiteral("/pub/sub"));
        s.w.Text3->setText(s.localPath(QString()));
        s.download();
        s.clickRemoteFile(QStringLiteral("a.txt"));
        s.w.Text3->clear();
        s.download();
        QCOMPARE(s.boxes.texts(), (QStringList{kNoTarget, kNoTarget}));
        QCOMPARE(s.boxes.shown.first().buttons, MsgButtons::OkOnly);
        QVERIFY(s.callsOf(QStringLiteral("GetFile")).isEmpty());
        QCOMPARE(s.w.Label2->text(), QStringLiteral("接続成功。"));
    }

    void downloadSavesIntoTheChosenFolder() {
        Session s;
        const QString sep = QDir::separator();
        const QString folder = s.localPath(QString());
        s.w.Dir1->setPath(folder);
        QVERIFY(s.w.File1->findItems(QStringLiteral("a.txt"), Qt::MatchExactly).isEmpty());
        s.connectAndList(QStringLiteral("/pub"));

        // The save location as "選択" gives it: the folder ending in its separator.
        s.clickRemoteFile(QStringLiteral("a.txt"));
        QVERIFY(s.w.File1->FileName().isEmpty());
        QTest::mouseClick(s.w.Command4, Qt::LeftButton);
        QCOMPARE(s.w.Text3->text(), folder + sep);
        QFile arrived(folder + sep + QStringLiteral("a.txt")); // what the engine would write
        QVERIFY(arrived.open(QIODevice::WriteOnly));
        arrived.close();
        s.download();
        QCOMPARE(s.callsOf(QStringLiteral("GetFile")).last(),
                 QStringLiteral("GetFile(/pub/a.txt,%1,0)").arg(folder + sep + QStringLiteral("a.txt")));
        QCOMPARE(s.w.Label2->text(), kReceived);
        QCOMPARE(s.w.Combo4->currentText(), QStringLiteral("/pub"));
        QVERIFY(!s.w.File1->findItems(QStringLiteral("a.txt"), Qt::MatchExactly).isEmpty());
        QCOMPARE(s.w.Text3->text(), folder + sep); // kept for the next file
        QCOMPARE(s.sound->calls, s.soundCalls());
        QCOMPARE(s.w.List2->count(), 3); // the remote lists are not read again
        QCOMPARE(s.callsOf(QStringLiteral("GetDir")).size(), 4);

        // An existing folder typed without its separator receives the file too.
        s.clickRemoteFile(QStringLiteral("b.bin"));
        s.w.Text3->setText(folder);
        s.download();
        QCOMPARE(s.callsOf(QStringLiteral("GetFile")).last(),
                 QStringLiteral("GetFile(/pub/b.bin,%1,0)").arg(folder + sep + QStringLiteral("b.bin")));

        // A path that is no folder is joined as typed.
        s.clickRemoteFile(QStringLiteral("b.bin"));
        s.w.Text3->setText(folder + sep + QStringLiteral("dl"));
        s.download();
        QCOMPARE(s.callsOf(QStringLiteral("GetFile")).last(),
                 QStringLiteral("GetFile(/pub/b.bin,%1,0)").arg(folder + sep + QStringLiteral("dlb.bin")));

        // "選択" with a local file selected names that file: the download goes beside it.
        s.w.File1->setCurrentItem(s.w.File1->findItems(QStringLiteral("a.txt"), Qt::MatchExactly).value(0));
        QTest::mouseClick(s.w.Command4, Qt::LeftButton);
        s.clickRemoteFile(QStringLiteral("b.bin"));
        s.download();
        QCOMPARE(s.callsOf(QStringLiteral("GetFile")).last(),
                 QStringLiteral("GetFile(/pub/b.bin,%1,0)").arg(folder + sep + QStringLiteral("b.bin")));
        QVERIFY(s.boxes.shown.isEmpty());
    }

    void theLocalNameFollowsTheRemotePath() {
        Session s;
        const QString target = s.localPath(QString()) + QDir::separator();
        s.connectAndList(QStringLiteral("/pub"));
        s.w.Text3->setText(target);

        // Nothing selected in the remote list: the name is the path's last part.
        s.w.Combo4->setEditText(QStringLiteral("/pub/c.txt"));
        s.download();
        QCOMPARE(s.callsOf(QStringLiteral("GetFile")).last(),
                 QStringLiteral("GetFile(/pub/c.txt,%1c.txt,0)").arg(target));

        // A path edited after the click no longer names the selected entry.
        s.clickRemoteFile(QStringLiteral("a.txt"));
        s.w.Combo4->setEditText(QStringLiteral("/pub/other/d.txt"));
        s.download();
        QCOMPARE(s.callsOf(QStringLiteral("GetFile")).last(),
                 QStringLiteral("GetFile(/pub/other/d.txt,%1d.txt,0)").arg(target));
        QVERIFY(s.boxes.shown.isEmpty());
    }

    void namesThatLeaveTheFolderAreRefused() {
        Session s;
        s.connectAndList(QStringLiteral("/pub"));
        s.w.Text3->setText(s.localPath(QString()) + QDir::separator());
        s.clickRemoteFile(QStringLiteral("x\\y.txt"));
        s.download();
        s.w.List2->clearSelection();
        for (const QString& path :
             {QStringLiteral("/pub.d/.."), QStringLiteral("/pub.d/."), QStringLiteral("/pub.d/"),
              QStringLiteral("/pub/\x1b[31mred.txt"), QStringLiteral("/pub/invoice\u202Etxt.exe")}) {
            s.w.Combo4->setEditText(path);
            s.download();
        }
        QCOMPARE(s.boxes.texts(), QStringList(6, kBadName));
        QCOMPARE(s.boxes.shown.first().buttons, MsgButtons::OkOnly);
        QVERIFY(s.callsOf(QStringLiteral("GetFile")).isEmpty());
        QCOMPARE(s.w.Label2->text(), QStringLiteral("接続成功。"));
        QVERIFY(s.sound->calls.isEmpty());
    }

    void theWindowHasAQuietRealPlayer() {
        testing::TestEnvironment env; // no PUPU.wav in this application folder
        testing::MainWindow w;
        QVERIFY(testing::MainWindowAccess::soundPlayer(w));
        QCOMPARE(testing::MainWindowAccess::soundPlayer(w)->objectName(), QStringLiteral("MMControl1"));
        testing::MainWindowAccess::playSound(w); // a missing sound file is silent, never an error
        QCOMPARE(testing::MainWindowAccess::soundPlayer(w)->FileName(), frmTesselFTP::MyPath() + QStringLiteral("PUPU.wav"));
        QVERIFY(!testing::MainWindowAccess::soundPlayer(w)->FileName().contains(QString(QDir::separator()) + QDir::separator()));
    }
};

QTEST_MAIN(TransferTest)
#include "tst_transfer.moc"
