// The transfer buttons with the real engine against a real FTP server on loopback: text
// files with their line ends converted, binary files byte for byte, the local pane feeding
// the path box, checked on the server's disk, on the local disk and in the window.
#include "support/MainWindow.h"
#include "platform/Codepage.h"
#include "platform/LocalLists.h"
#include "support/Files.h"
#include "support/PyFtpServer.h"
#include "support/RecordingSoundPlayer.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestEnvironment.h"
#include "support/WidgetText.h"
#include "support/WindowLogin.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using testing::entries;

using testing::PyFtpServer;

using testing::randomBytes;
using testing::readAll;
using testing::writeAll;

namespace {

// Bytes a text conversion would damage: every byte value, CR LF, lone LF and lone CR.
QByteArray binaryContent() {
    QByteArray bytes;
    for (int i = 0; i < 256; ++i)
        bytes.append(static_cast<char>(i));
    bytes.append("\r\n\n\r\r\n");
    QRandomGenerator random(20240601);
    for (int i = 0; i < 300 * 1024 / 4; ++i) {
        const quint32 word = random.generate();
        bytes.append(reinterpret_cast<const char*>(&word), 4);
    }
    return bytes;
}

bool select(QListWidget* list, const QString& name) {
    QListWidgetItem* item = list->findItems(name, Qt::MatchExactly).value(0);
    if (!item)
        return false;
    list->setCurrentItem(item);
    return true;
}

QStringList logLines(const testing::TestEnvironment& env) {
    QFile file(env.logPath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return codepage::splitLines(codepage::fromCp932(file.readAll()));
}

} // namespace

class TransferWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir root;  // the server's files
    QTemporaryDir local; // the user's files
    PyFtpServer server;
    std::unique_ptr<testing::TestEnvironment> env;
    std::unique_ptr<testing::ScriptedMessageBoxes> boxes;
    std::unique_ptr<testing::MainWindow> w;
    testing::RecordingSoundPlayer* sound = nullptr;

    QString onServer(const QString& relative) const { return QDir(root.path()).filePath(relative); }
    QString onLocal(const QString& name) const {
        return QDir::toNativeSeparators(QDir(local.path()).filePath(name));
    }

    // Picks a local file the way the user does: open its folder, click it, press "選択".
    void chooseLocalFile(const QString& name) {
        w->File1->Refresh();
        QVERIFY(select(w->File1, name));
        emit w->File1->Click();
        w->Command4->click();
        QCOMPARE(w->Text3->text(), onLocal(name));
    }

    // The local folder as the save location: "選択" with no file selected.
    void chooseLocalFolder() {
        w->File1->clearSelection();
        w->Command4->click();
        QCOMPARE(w->Text3->text(), QDir::toNativeSeparators(local.path()) + QDir::separator());
    }

private slots:
    void initTestCase() {
        QVERIFY(QDir(root.path()).mkpath(QStringLiteral("pub")));
        writeAll(onServer(QStringLiteral("pub/lines.txt")), "alpha\nbeta\n\ngamma\n");
        writeAll(onServer(QStringLiteral("pub/image.bin")), binaryContent());
        writeAll(onServer(QStringLiteral("pub/large.bin")), randomBytes(20 << 20, 17));
        // Only large.bin reaches this size: its first download breaks off there.
        server.dropFirstDownloadAfter(7 << 20);
        QVERIFY2(server.start(root.path()) != 0, qPrintable(server.errorString()));
    }

    // A fresh window, connected, with /pub listed and the local folder open.
    void init() {
        env = std::make_unique<testing::TestEnvironment>();
        boxes = std::make_unique<testing::ScriptedMessageBoxes>();
        w = std::make_unique<testing::MainWindow>();
        sound = testing::RecordingSoundPlayer::install(*w);
        w->show();
        w->Dir1->setPath(local.path());
        QCOMPARE(w->File1->Path(), QDir::toNativeSeparators(local.path()));
        testing::loginAndList(*w, server, QStringLiteral("/pub"));
        QCOMPARE(boxes->texts(), QStringList());
    }

    void cleanup() {
        if (w && w->mnuClose->isEnabled())
            w->mnuClose->trigger();
        w.reset();
        boxes.reset();
        env.reset();
    }

    void uploadText() {
        writeAll(onLocal(QStringLiteral("notes.txt")), "one\ntwo\r\nthree\n\nlast");
        chooseLocalFile(QStringLiteral("notes.txt"));
        QCOMPARE(w->Text1->text(), QStringLiteral(" 20"));
        QVERIFY(w->Option1[0]->isChecked());
        w->Command5->click();
        QCOMPARE(boxes->texts(), QStringList());
        QCOMPARE(w->Label2->text(), QStringLiteral("ファイルの送信完了です"));
        // Sent as text: the server stored its own line ends, none doubled.
        QCOMPARE(readAll(onServer(QStringLiteral("pub/notes.txt"))), QByteArray("one\ntwo\nthree\n\nlast"));
        const QStringList log = logLines(*env);
        const qsizetype stor = log.indexOf(QStringLiteral("STOR /pub/notes.txt"));
        QVERIFY2(stor > 0, qPrintable(log.join(u'\n')));
        QVERIFY(log.mid(0, stor).lastIndexOf(QStringLiteral("TYPE A")) >
                log.mid(0, stor).lastIndexOf(QStringLiteral("TYPE I")));
        // The remote lists were read again and show the new file; the path box is empty.
        QVERIFY(entries(w->List2).contains(QStringLiteral("notes.txt")));
        QCOMPARE(w->remoteDir(), QStringLiteral("/pub"));
        QCOMPARE(w->Text3->text(), QString());
        QCOMPARE(sound->plays(), 1);
    }

    void uploadBinary() {
        const QByteArray data = binaryContent();
        writeAll(onLocal(QStringLiteral("upload.bin")), data);
        chooseLocalFile(QStringLiteral("upload.bin"));
        w->Option1[1]->click();
        w->Command5->click();
        QCOMPARE(boxes->texts(), QStringList());
        QCOMPARE(w->Label2->text(), QStringLiteral("ファイルの送信完了です"));
        QCOMPARE(readAll(onServer(QStringLiteral("pub/upload.bin"))), data);
        QVERIFY(entries(w->List2).contains(QStringLiteral("upload.bin")));
        QCOMPARE(sound->plays(), 1);
    }

    void downloadText() {
        QVERIFY(select(w->List2, QStringLiteral("lines.txt")));
        QCOMPARE(w->Combo4->currentText(), QStringLiteral("/pub/lines.txt"));
        chooseLocalFolder();
        w->Command6->click();
        QCOMPARE(boxes->texts(), QStringList());
        QCOMPARE(w->Label2->text(), QStringLiteral("ファイルの受信完了です"));
        // The server sent CR LF in text mode; the local file has the local line end.
        QCOMPARE(readAll(onLocal(QStringLiteral("lines.txt"))), QByteArray("alpha\nbeta\n\ngamma\n"));
        QVERIFY(entries(w->File1).contains(QStringLiteral("lines.txt")));
        QCOMPARE(w->Combo4->currentText(), QStringLiteral("/pub"));
        QCOMPARE(sound->plays(), 1);
    }

    void downloadBinaryIntoAFolderTypedWithoutSeparator() {
        QVERIFY(select(w->List2, QStringLiteral("image.bin")));
        w->Text3->setText(QDir::toNativeSeparators(local.path())); // no separator at the end
        w->Option1[1]->click();
        w->Command6->click();
        QCOMPARE(boxes->texts(), QStringList());
        QCOMPARE(w->Label2->text(), QStringLiteral("ファイルの受信完了です"));
        QCOMPARE(readAll(onLocal(QStringLiteral("image.bin"))), binaryContent());
        QVERIFY(entries(w->File1).contains(QStringLiteral("image.bin")));
        QCOMPARE(w->Combo4->currentText(), QStringLiteral("/pub"));
        QCOMPARE(sound->plays(), 1);

        // Its size in the local pane, as the size box writes it.
        QVERIFY(select(w->File1, QStringLiteral("image.bin")));
        emit w->File1->Click();
        QCOMPARE(w->Text1->text(), QStringLiteral(" ") + QString::number(binaryContent().size()));
    }

    // テキスト chosen for a binary file (a NUL in its first 8 KiB): byte for byte, noted once.
    void binaryFileInTextModeMovesUnchanged_data() {
        QTest::addColumn<bool>("upload");
        QTest::newRow("upload") << true;
        QTest::newRow("download") << false;
    }
    void binaryFileInTextModeMovesUnchanged() {
        QFETCH(bool, upload);
        writeAll(onLocal(QStringLiteral("raw.bin")), binaryContent());
        chooseLocalFile(QStringLiteral("raw.bin"));
        QVERIFY(upload || select(w->List2, QStringLiteral("image.bin")));
        if (!upload)
            chooseLocalFolder();
        (upload ? w->Command5 : w->Command6)->click();
        QCOMPARE(
            readAll(upload ? onServer(QStringLiteral("pub/raw.bin")) : onLocal(QStringLiteral("image.bin"))),
            binaryContent());
        QCOMPARE(logLines(*env).filter(QRegularExpression(QStringLiteral("^# .*NUL"))).size(), 1);
    }

    // 再試行 after the server reset the download goes on behind what was kept.
    void retryResumesABrokenDownload() {
        QVERIFY(select(w->List2, QStringLiteral("large.bin")));
        chooseLocalFolder();
        w->Option1[1]->click();
        boxes->answers = {platform::MsgResult::Retry};
        w->Command6->click();
        QCOMPARE(boxes->texts(), QStringList{QStringLiteral("Error!")});
        QVERIFY(readAll(onLocal(QStringLiteral("large.bin"))) == randomBytes(20 << 20, 17));
        const QStringList rests = logLines(*env).filter(QRegularExpression(QStringLiteral("^REST \\d+$")));
        QVERIFY2(rests.size() == 1 && rests[0].mid(5).toLongLong() >= 4 << 20, qPrintable(rests.join(u' ')));
    }

    void aFailedDownloadStaysUnderWay() {
        w->Combo4->setEditText(QStringLiteral("/pub/missing.txt"));
        chooseLocalFolder();
        boxes->answers = {platform::MsgResult::Retry, platform::MsgResult::Cancel};
        w->Command6->click();
        QCOMPARE(boxes->texts(), (QStringList{QStringLiteral("Error!"), QStringLiteral("Error!")}));
        QCOMPARE(w->Label2->text(), QStringLiteral("ファイルの受信中です"));
        QVERIFY(!QFileInfo::exists(onLocal(QStringLiteral("missing.txt"))));
        QCOMPARE(w->Combo4->currentText(), QStringLiteral("/pub/missing.txt"));
        QCOMPARE(sound->plays(), 0);
    }

    void aFailedUploadStaysUnderWay() {
        w->Text3->setText(onLocal(QStringLiteral("not-there.txt")));
        w->Command5->click();
        QCOMPARE(boxes->texts(), QStringList{QStringLiteral("Error!")});
        QCOMPARE(w->Label2->text(), QStringLiteral("ファイルの送信中です"));
        QCOMPARE(w->Text3->text(), onLocal(QStringLiteral("not-there.txt")));
        QVERIFY(!QFileInfo::exists(onServer(QStringLiteral("pub/not-there.txt"))));
        QCOMPARE(sound->plays(), 0);
    }
};

QTEST_MAIN(TransferWindowTest)
#include "tst_transfer_window.moc"
