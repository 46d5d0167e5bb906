// Batches started from the window: "フォルダをダウンロード" on a remote folder,
// "フォルダをアップロード" and "ミラーリングアップロード…" on a local sub-folder, the transfer
// buttons with several files selected, and drags between the desktop, the remote lists
// and the local pane. Each becomes one QueueRequest run by runQueue.
#include "mainwindow/frmTesselFTP.h"

#include "ftp/rules/BatchRules.h"
#include "ftp/rules/FailureCauses.h"
#include "ftp/rules/LocalFiles.h"
#include "ftp/rules/TypedRemotePath.h"
#include "platform/CallOwner.h"
#include "platform/DragAndDrop.h"
#include "platform/LocalLists.h"
#include "platform/MessageBox.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QRadioButton>
#include <QShortcut>
#include <QTimer>

#include <algorithm>

namespace {

// The selected entries' texts, top to bottom (not in the order they were picked).
QStringList selectedTexts(const QListWidget* list) {
    QList<QListWidgetItem*> items = list->selectedItems();
    std::sort(items.begin(), items.end(),
              [list](QListWidgetItem* a, QListWidgetItem* b) { return list->row(a) < list->row(b); });
    QStringList texts;
    for (const QListWidgetItem* item : items)
        texts.append(item->text());
    return texts;
}

transferrules::SaveTo saveToKind(const QString& saveTo) {
    const QFileInfo onDisk(saveTo);
    return onDisk.isDir()    ? transferrules::SaveTo::Folder
           : onDisk.exists() ? transferrules::SaveTo::File
                             : transferrules::SaveTo::Other;
}

// A local folder as a request names it: no trailing separator except at a root.
QString plainFolder(const QString& folder) {
    return QDir::toNativeSeparators(QDir::cleanPath(folder));
}

QAction* menuEntry(QMenu* menu, const char* name, const QString& caption, const QString& description) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    action->setStatusTip(description); // what a screen reader gives as the entry's description
    action->setToolTip(description);
    return action;
}

// Shift+F10 asks for the list's context menu at its current entry, as the menu key does:
// not every platform turns that key into a context menu of its own.
void openByShiftF10(QAbstractItemView* list) {
    auto* key =
        new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), list, nullptr, nullptr, Qt::WidgetShortcut);
    QObject::connect(key, &QShortcut::activated, list, [list] {
        const QRect current = list->visualRect(list->currentIndex());
        if (current.isValid())
            emit list->customContextMenuRequested(current.center());
    });
}

} // namespace

bool frmTesselFTP::isConnected() const {
    return mnuClose->isEnabled(); // the menus are the mark of a session (a failed connect keeps none)
}

QString frmTesselFTP::dragOwner() const {
    return QStringLiteral("%1:%2")
        .arg(QCoreApplication::applicationPid())
        .arg(reinterpret_cast<quintptr>(this));
}

void frmTesselFTP::createBatchEntries() {
    List2->setSelectionMode(QAbstractItemView::ExtendedSelection);
    File1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    createBatchMenus();
    connectDrags();
}

void frmTesselFTP::createBatchMenus() {
    mnuList1Popup = new QMenu(this);
    mnuList1Popup->setObjectName(QStringLiteral("mnuList1Popup"));
    mnuList1Popup->setAccessibleName(QStringLiteral("リモートのフォルダのメニュー"));
    mnuFolderDownload =
        menuEntry(mnuList1Popup, "mnuFolderDownload", QStringLiteral("フォルダをダウンロード"),
                  QStringLiteral("フォルダとその中身をローカルのフォルダへダウンロード"));
    mnuDir1Popup = new QMenu(this);
    mnuDir1Popup->setObjectName(QStringLiteral("mnuDir1Popup"));
    mnuDir1Popup->setAccessibleName(QStringLiteral("ローカルのフォルダのメニュー"));
    mnuFolderUpload = menuEntry(mnuDir1Popup, "mnuFolderUpload", QStringLiteral("フォルダをアップロード"),
                                QStringLiteral("フォルダとその中身をリモートのフォルダへアップロード"));
    mnuMirrorUpload = menuEntry(
        mnuDir1Popup, "mnuMirrorUpload", QStringLiteral("ミラーリングアップロード…"),
        QStringLiteral("新しいファイルと変更されたファイルだけをリモートの同じ名前のフォルダへ送る"));

    for (QAbstractItemView* list :
         {static_cast<QAbstractItemView*>(List1), static_cast<QAbstractItemView*>(Dir1)}) {
        list->setContextMenuPolicy(Qt::CustomContextMenu);
        openByShiftF10(list);
    }
    connect(List1, &QWidget::customContextMenuRequested, this, &frmTesselFTP::List1_ContextMenu);
    connect(Dir1, &QWidget::customContextMenuRequested, this, &frmTesselFTP::Dir1_ContextMenu);
    const auto waiting = [this](void (frmTesselFTP::*handler)()) {
        return callOwner->waiting([this, handler] { (this->*handler)(); });
    };
    connect(mnuFolderDownload, &QAction::triggered, this, waiting(&frmTesselFTP::mnuFolderDownload_Click));
    connect(mnuFolderUpload, &QAction::triggered, this, waiting(&frmTesselFTP::mnuFolderUpload_Click));
    connect(mnuMirrorUpload, &QAction::triggered, this, waiting(&frmTesselFTP::mnuMirrorUpload_Click));
}

// Right-click (or the menu key) on a remote folder: the folder's path composed as a click
// composes it, kept by the entry until it is chosen.
void frmTesselFTP::List1_ContextMenu(const QPoint& pos) {
    const QListWidgetItem* item = List1->itemAt(pos);
    if (!item)
        return;
    mnuFolderDownload->setData(typedpath::compose(RemoteDir, item->text()));
    mnuFolderDownload->setEnabled(isConnected());
    mnuList1Popup->popup(List1->viewport()->mapToGlobal(pos));
}

// Right-click on a sub-folder of the open local folder (not on the open one or the
// folders above it).
void frmTesselFTP::Dir1_ContextMenu(const QPoint& pos) {
    const QListWidgetItem* item = Dir1->itemAt(pos);
    if (!item)
        return;
    const QString folder = item->data(Qt::UserRole).toString();
    const QString parent = QDir::toNativeSeparators(QFileInfo(folder).absolutePath());
    if (folder == Dir1->Path() || parent != Dir1->Path())
        return;
    for (QAction* action : {mnuFolderUpload, mnuMirrorUpload}) {
        action->setData(folder);
        action->setEnabled(isConnected());
    }
    mnuDir1Popup->popup(Dir1->viewport()->mapToGlobal(pos));
}

void frmTesselFTP::mnuFolderDownload_Click() {
    ftp::QueueRequest request;
    request.kind = ftp::QueueRequest::Kind::Download;
    request.folders = QStringList{mnuFolderDownload->data().toString()};
    request.target = Dir1->Path();
    startBatch(request);
}

void frmTesselFTP::mnuFolderUpload_Click() {
    ftp::QueueRequest request;
    request.kind = ftp::QueueRequest::Kind::Upload;
    request.folders = QStringList{mnuFolderUpload->data().toString()};
    request.target = batchrules::remoteFolder(RemoteDir);
    startBatch(request);
}

void frmTesselFTP::mnuMirrorUpload_Click() {
    ftp::QueueRequest request;
    request.kind = ftp::QueueRequest::Kind::MirrorUpload;
    request.folders = QStringList{mnuMirrorUpload->data().toString()};
    request.target = batchrules::remoteFolder(RemoteDir);
    startBatch(request);
}

// The download button with several files selected in List2: each into the folder a
// single download from Text3 would write into, after the same checks on Text3.
void frmTesselFTP::downloadSelected() {
    const QString saveTo = Text3->text();
    const QString folder = batchrules::downloadFolder(saveTo, saveToKind(saveTo));
    if (saveTo.isEmpty() || folder.isEmpty()) {
        platform::MsgBox(this,
                         QStringLiteral("ファイル名が選択されていないか、保存場所を指定されていません。"));
        return;
    }
    ftp::QueueRequest request;
    request.kind = ftp::QueueRequest::Kind::Download;
    for (const QString& name : selectedTexts(List2)) {
        if (!transferrules::isSafeLocalName(name)) {
            platform::MsgBox(this, QStringLiteral("このファイル名では保存できません。"));
            return;
        }
        request.files.append(typedpath::compose(RemoteDir, name));
    }
    request.target = plainFolder(folder);
    startBatch(request);
    Combo4->setEditText(RemoteDir); // it held the path of the entry clicked last
}

// The upload button with several files selected in File1: each into RemoteDir.
void frmTesselFTP::uploadSelected() {
    ftp::QueueRequest request;
    request.kind = ftp::QueueRequest::Kind::Upload;
    for (const QString& name : selectedTexts(File1))
        request.files.append(localfiles::composePath(File1->Path(), name));
    request.target = batchrules::remoteFolder(RemoteDir);
    startBatch(request);
}

// Drags: out of the remote lists onto the local pane, and from the desktop onto the
// remote lists. Only while a session is open and nothing runs; the batch starts once the
// drop has ended, so the program the files came from is not kept waiting.
void frmTesselFTP::connectDrags() {
    const auto remoteDrag = [this](bool folders) {
        return [this, folders](const QList<QListWidgetItem*>& items) -> QMimeData* {
            if (!isConnected() || callOwner->busy())
                return nullptr;
            batchrules::Entries entries;
            for (const QListWidgetItem* item : items)
                (folders ? entries.folders : entries.files)
                    .append(typedpath::compose(RemoteDir, item->text()));
            return batchrules::remoteEntriesData(entries, dragOwner());
        };
    };
    static_cast<platform::DragListBox*>(List1)->setDragData(remoteDrag(true));
    static_cast<platform::DragListBox*>(List2)->setDragData(remoteDrag(false));

    const auto fromDesktop = [this](const QMimeData& dropped) {
        return isConnected() && !callOwner->busy() && !batchrules::localEntries(dropped).isEmpty();
    };
    const auto upload = [this](const QMimeData& dropped) {
        const batchrules::Entries entries = batchrules::localEntries(dropped);
        startBatchLater(ftp::QueueRequest::Kind::Upload, entries.files, entries.folders,
                        batchrules::remoteFolder(RemoteDir));
    };
    new platform::DropTarget(List1, fromDesktop, upload);
    new platform::DropTarget(List2, fromDesktop, upload);

    const auto fromRemoteLists = [this](const QMimeData& dropped) {
        return isConnected() && !callOwner->busy() && batchrules::remoteEntriesOf(dropped, dragOwner());
    };
    const auto download = [this](const QMimeData& dropped) {
        const batchrules::Entries entries = batchrules::remoteEntriesOf(dropped, dragOwner()).value();
        startBatchLater(ftp::QueueRequest::Kind::Download, entries.files, entries.folders, Dir1->Path());
    };
    new platform::DropTarget(Dir1, fromRemoteLists, download);
    new platform::DropTarget(File1, fromRemoteLists, download);
}

void frmTesselFTP::startBatchLater(ftp::QueueRequest::Kind kind, const QStringList& files,
                                   const QStringList& folders, const QString& target) {
    ftp::QueueRequest request;
    request.kind = kind;
    request.files = files;
    request.folders = folders;
    request.target = target;
    QTimer::singleShot(0, this, callOwner->waiting([this, request] { startBatch(request); }));
}

// Runs a batch in the transfer mode the option buttons show. A session that ended in the
// meantime (the menu stayed open, a drop waited) is reported as a queue without one is.
void frmTesselFTP::startBatch(ftp::QueueRequest request) {
    if (!isConnected()) {
        const ftp::FtpError none(QStringLiteral("Not connected to a server."),
                                 ftp::FailureDetail(ftp::FailureKind::NotConnected));
        platform::FailureBox(this, QStringLiteral("ERROR !!"), causes::ofException(none));
        return;
    }
    request.mode = Option1[0]->isChecked() ? ftp::TextMode : ftp::BinaryMode;
    runQueue(request);
    if (request.kind == ftp::QueueRequest::Kind::Download)
        showNewLocalFolders();
}

// Folders that came in show in the folder list; a folder that went away meanwhile leaves
// the list as it was.
void frmTesselFTP::showNewLocalFolders() {
    try {
        Dir1->setPath(Dir1->Path());
    } catch (const platform::VolumeError&) {
    }
}
