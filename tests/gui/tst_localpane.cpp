// The local pane: drive, folder and file lists, the size box and "選択", over a scripted
// set of volumes (real folders standing for drive roots).
#include "support/MainWindow.h"
#include "platform/LocalLists.h"
#include "support/FakeVolumes.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestEnvironment.h"
#include "support/WidgetText.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using testing::entries;

using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;

namespace {

const QString kInsertDisk = QStringLiteral("フロッピーディスクがセットしてください。");
const QString kUnexpected = QStringLiteral("予期しないエラーです。元に戻ります。");

void writeFile(const QString& path, qint64 size) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QVERIFY(file.resize(size)); // sparse: large sizes cost no disk space
}

// Clicks an entry of a list view with the mouse.
void clickEntry(QListWidget* list, const QString& text) {
    const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly);
    QVERIFY2(!found.isEmpty(), qPrintable(text));
    list->scrollToItem(found.first());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found.first()).center());
}

void doubleClickEntry(QListWidget* list, const QString& text) {
    const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly);
    QVERIFY2(!found.isEmpty(), qPrintable(text));
    list->scrollToItem(found.first());
    const QPoint centre = list->visualItemRect(found.first()).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, centre);
}

// Picks a drive in the drop-down as the user does.
void chooseDrive(platform::DriveListBox* drives, const QString& text) {
    const int index = drives->findText(text);
    QVERIFY2(index >= 0, qPrintable(text));
    drives->setCurrentIndex(index);
    emit drives->activated(index);
}

// Three "drives": c (the current one, folder work with files and a sub-folder), a (a
// removable drive) and d; the program starts in c/work.
struct Pane {
    testing::TestEnvironment env;
    testing::ScriptedMessageBoxes boxes;
    testing::FakeVolumes volumes;
    QTemporaryDir disk;
    QString c, a, d, work;
    QString startFolder = QDir::currentPath();
    std::unique_ptr<testing::MainWindow> w;

    Pane() {
        c = disk.filePath(QStringLiteral("c"));
        a = disk.filePath(QStringLiteral("a"));
        d = disk.filePath(QStringLiteral("d"));
        work = QDir::toNativeSeparators(c + QStringLiteral("/work"));
        for (const QString& folder : {QString(work + QStringLiteral("/sub")), a, d})
            QDir().mkpath(folder);
        writeFile(work + QStringLiteral("/a.txt"), 0);
        writeFile(work + QStringLiteral("/b.bin"), 1234567);
        writeFile(work + QStringLiteral("/.hidden"), 1);
        writeFile(work + QStringLiteral("/sub/inner.txt"), 1);
        writeFile(a + QStringLiteral("/floppy.txt"), 1);
        volumes.add(c, QStringLiteral("SYSTEM"));
        volumes.add(a);
        volumes.add(d, QStringLiteral("DATA"));
        QDir::setCurrent(work);
        w = std::make_unique<testing::MainWindow>();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    }
    ~Pane() { QDir::setCurrent(startFolder); }

    QString drive(const QString& root) const { return volumes.driveText(root); }
};

} // namespace

class LocalPaneTest : public QObject {
    Q_OBJECT

private slots:
    void startsOnTheCurrentFolderAndFollowsIt() {
        Pane p;
        QCOMPARE(p.w->Drive1->Drive(), p.drive(p.c));
        QCOMPARE(p.w->Drive1->Drive(), QDir::toNativeSeparators(p.c) + QStringLiteral(" [SYSTEM]"));
        QCOMPARE(p.w->Dir1->Path(), p.work);
        QCOMPARE(entries(p.w->File1), (QStringList{QStringLiteral("a.txt"), QStringLiteral("b.bin")}));
        QVERIFY(entries(p.w->Dir1).contains(QStringLiteral("  sub")));

        doubleClickEntry(p.w->Dir1, QStringLiteral("  sub"));
        QCOMPARE(p.w->Dir1->Path(), QDir::toNativeSeparators(p.work + QStringLiteral("/sub")));
        QCOMPARE(entries(p.w->File1), QStringList{QStringLiteral("inner.txt")});
        // Back up through the ancestor entry.
        doubleClickEntry(p.w->Dir1, QStringLiteral("work"));
        QCOMPARE(p.w->Dir1->Path(), p.work);
        QCOMPARE(entries(p.w->File1), (QStringList{QStringLiteral("a.txt"), QStringLiteral("b.bin")}));
        QVERIFY(p.boxes.shown.isEmpty());
    }

    void clickShowsTheSizeAndSelectTakesThePath() {
        Pane p;
        const QString sep = QDir::separator();
        writeFile(p.work + QStringLiteral("/big.bin"), 16777217);
        writeFile(p.work + QStringLiteral("/huge.iso"), 3221225472LL);
        p.w->File1->Refresh();
        p.w->Text3->setText(QStringLiteral("kept"));

        clickEntry(p.w->File1, QStringLiteral("a.txt"));
        QCOMPARE(p.w->Text1->text(), QStringLiteral(" 0"));
        clickEntry(p.w->File1, QStringLiteral("b.bin"));
        QCOMPARE(p.w->Text1->text(), QStringLiteral(" 1234567"));
        clickEntry(p.w->File1, QStringLiteral("big.bin"));
        QCOMPARE(p.w->Text1->text(), QStringLiteral(" 1.677722E+07"));
        clickEntry(p.w->File1, QStringLiteral("huge.iso"));
        QCOMPARE(p.w->Text1->text(), QStringLiteral(" 3.221225E+09"));
        QCOMPARE(p.w->Text3->text(), QStringLiteral("kept")); // a click never touches the path box

        QTest::mouseClick(p.w->Command4, Qt::LeftButton);
        QCOMPARE(p.w->Text3->text(), p.work + sep + QStringLiteral("huge.iso"));

        // The keyboard picks entries too.
        p.w->File1->setFocus();
        QTest::keyClick(p.w->File1, Qt::Key_Home);
        QCOMPARE(p.w->File1->FileName(), QStringLiteral("a.txt"));
        QCOMPARE(p.w->Text1->text(), QStringLiteral(" 0"));
    }

    void selectWithoutAFileGivesTheFolder() {
        Pane p;
        const QString sep = QDir::separator();
        QVERIFY(p.w->File1->FileName().isEmpty());
        QTest::mouseClick(p.w->Command4, Qt::LeftButton);
        QCOMPARE(p.w->Text3->text(), p.work + sep);

        // A file picked in one folder is not carried into the next, even where a file of the
        // same name lies there: "選択" then gives the new folder as the save location.
        const QString sub = QDir::toNativeSeparators(p.work + QStringLiteral("/sub"));
        writeFile(sub + QStringLiteral("/a.txt"), 1);
        clickEntry(p.w->File1, QStringLiteral("a.txt"));
        doubleClickEntry(p.w->Dir1, QStringLiteral("  sub"));
        QCOMPARE(p.w->File1->Path(), sub);
        QVERIFY(p.w->File1->FileName().isEmpty());
        QTest::mouseClick(p.w->Command4, Qt::LeftButton);
        QCOMPARE(p.w->Text3->text(), sub + sep);
        // Reading the same folder again keeps the pick.
        clickEntry(p.w->File1, QStringLiteral("a.txt"));
        p.w->File1->setPath(sub);
        QCOMPARE(p.w->File1->FileName(), QStringLiteral("a.txt"));

        // At the top of a volume the folder already ends in its separator: no second one.
        p.volumes.add(QDir::rootPath());
        p.w->Dir1->setPath(QDir::rootPath());
        QCOMPARE(p.w->Dir1->Path(), QDir::toNativeSeparators(QDir::rootPath()));
        QTest::mouseClick(p.w->Command4, Qt::LeftButton);
        QCOMPARE(p.w->Text3->text(), QDir::toNativeSeparators(QDir::rootPath()));
    }

    void aFileThatWentAwayIsDroppedFromTheList() {
        Pane p;
        clickEntry(p.w->File1, QStringLiteral("b.bin"));
        QCOMPARE(p.w->Text1->text(), QStringLiteral(" 1234567"));
        QVERIFY(QFile::remove(p.work + QStringLiteral("/b.bin")));
        clickEntry(p.w->File1, QStringLiteral("b.bin"));
        QVERIFY(p.w->Text1->text().isEmpty());
        QCOMPARE(entries(p.w->File1), QStringList{QStringLiteral("a.txt")});
        QVERIFY(p.boxes.shown.isEmpty());
    }

    void choosingAReadyDriveMovesTheLists() {
        Pane p;
        chooseDrive(p.w->Drive1, p.drive(p.a));
        QCOMPARE(p.w->Dir1->Path(), QDir::toNativeSeparators(p.a));
        QCOMPARE(entries(p.w->File1), QStringList{QStringLiteral("floppy.txt")});
        QVERIFY(p.boxes.shown.isEmpty());

        // The keyboard in the closed drop-down chooses as well.
        p.w->Drive1->setFocus();
        QTest::keyClick(p.w->Drive1, Qt::Key_Up);
        QCOMPARE(p.w->Drive1->Drive(), p.drive(p.c));
        QCOMPARE(p.w->Dir1->Path(), QDir::toNativeSeparators(p.c));
    }

    void theDriveListFollowsTheFolderList() {
        Pane p;
        const QString stick = QDir::toNativeSeparators(p.work + QStringLiteral("/stick"));
        QVERIFY(QDir().mkpath(stick));
        writeFile(stick + QStringLiteral("/photo.jpg"), 1);
        p.volumes.add(stick, QStringLiteral("STICK")); // mounted inside the folder c/work
        p.w->Drive1->reload();
        chooseDrive(p.w->Drive1, p.drive(stick));
        QCOMPARE(p.w->Dir1->Path(), stick);

        // Up out of the mount point: the drive list shows the volume now open...
        doubleClickEntry(p.w->Dir1, QStringLiteral("work"));
        QCOMPARE(p.w->Dir1->Path(), p.work);
        QCOMPARE(p.w->Drive1->Drive(), p.drive(p.c));
        // ...so choosing the stick again moves the lists back to it.
        chooseDrive(p.w->Drive1, p.drive(stick));
        QCOMPARE(p.w->Dir1->Path(), stick);
        QCOMPARE(entries(p.w->File1), QStringList{QStringLiteral("photo.jpg")});
        QVERIFY(p.boxes.shown.isEmpty());
    }

    void aDriveWithoutMediumAsksUntilItIsReady() {
        Pane p;
        p.volumes.setNotReady(p.a, 2);
        p.boxes.answers = {MsgResult::Retry, MsgResult::Retry};
        chooseDrive(p.w->Drive1, p.drive(p.a));
        QCOMPARE(p.boxes.texts(), (QStringList{kInsertDisk, kInsertDisk}));
        for (const testing::ShownBox& box : p.boxes.shown) {
            QCOMPARE(box.buttons, MsgButtons::RetryCancel);
            QCOMPARE(box.icon, MsgIcon::None);
            QCOMPARE(box.title, QStringLiteral("TesselFTP"));
        }
        QCOMPARE(p.volumes.checks(p.a), 3);
        QCOMPARE(p.w->Drive1->Drive(), p.drive(p.a));
        QCOMPARE(p.w->Dir1->Path(), QDir::toNativeSeparators(p.a));
        QCOMPARE(entries(p.w->File1), QStringList{QStringLiteral("floppy.txt")});
    }

    void givingUpGoesBackToTheFolderListsDrive() {
        Pane p;
        p.volumes.setNotReady(p.a, -1);
        p.boxes.answers = {MsgResult::Retry, MsgResult::Retry, MsgResult::Cancel};
        chooseDrive(p.w->Drive1, p.drive(p.a));
        QCOMPARE(p.boxes.texts(), (QStringList{kInsertDisk, kInsertDisk, kInsertDisk}));
        QCOMPARE(p.volumes.checks(p.a), 3);
        QCOMPARE(p.w->Drive1->Drive(), p.drive(p.c));
        QCOMPARE(p.w->Dir1->Path(), p.work);
        QCOMPARE(entries(p.w->File1), (QStringList{QStringLiteral("a.txt"), QStringLiteral("b.bin")}));

        // Giving up did not leave the drive list stuck: the drive can be chosen again later.
        p.volumes.setNotReady(p.a, 0);
        chooseDrive(p.w->Drive1, p.drive(p.a));
        QCOMPARE(p.w->Dir1->Path(), QDir::toNativeSeparators(p.a));
    }

    void anyOtherFailureIsReportedOnce() {
        Pane p;
        p.volumes.setFailing(p.d);
        chooseDrive(p.w->Drive1, p.drive(p.d));
        QCOMPARE(p.boxes.texts(), QStringList{kUnexpected});
        QCOMPARE(p.boxes.shown.first().buttons, MsgButtons::OkOnly);
        QCOMPARE(p.boxes.shown.first().icon, MsgIcon::None);
        QCOMPARE(p.volumes.checks(p.d), 1);
        QCOMPARE(p.w->Dir1->Path(), p.work);
        QCOMPARE(entries(p.w->File1), (QStringList{QStringLiteral("a.txt"), QStringLiteral("b.bin")}));
        QCOMPARE(p.w->Drive1->Drive(), p.drive(p.c));
    }
};

QTEST_MAIN(LocalPaneTest)
#include "tst_localpane.moc"
