#include "platform/LocalLists.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

namespace platform {

namespace {
QString nativeFolder(const QString& folder) {
    return QDir::toNativeSeparators(QDir::cleanPath(QFileInfo(folder).absoluteFilePath()));
}
} // namespace

DriveListBox::DriveListBox(QWidget* parent) : QComboBox(parent) {
    reload();
    connect(this, &QComboBox::activated, this, [this] { emit Change(); });
}

void DriveListBox::reload() {
    const QString current = Drive();
    clear();
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid())
            continue;
        const QString root = QDir::toNativeSeparators(volume.rootPath());
        const QString label = volume.name().isEmpty() ? root : root + QStringLiteral(" [") + volume.name() + u']';
        addItem(label, root);
    }
    setDrive(current.isEmpty() ? QDir::toNativeSeparators(QStorageInfo(QDir::currentPath()).rootPath()) : current);
}

QString DriveListBox::Drive() const { return currentData().toString(); }

void DriveListBox::setDrive(const QString& root) {
    const int index = findData(root);
    if (index >= 0)
        setCurrentIndex(index);
}

DirListBox::DirListBox(QWidget* parent) : QListWidget(parent) {
    connect(this, &QListWidget::itemDoubleClicked, this, &DirListBox::openEntry);
    setPath(QDir::currentPath());
}

void DirListBox::setPath(const QString& folder) {
    const QString target = nativeFolder(folder);
    const QDir dir(target);
    if (!dir.exists())
        return;
    const bool changed = target != path_;
    path_ = target;
    clear();
    QStringList ancestors;
    for (QDir up = dir;; ) {
        ancestors.prepend(QDir::toNativeSeparators(up.absolutePath()));
        if (!up.cdUp())
            break;
    }
    for (const QString& ancestor : ancestors) {
        auto* item = new QListWidgetItem(QFileInfo(ancestor).fileName().isEmpty() ? ancestor
                                                                                  : QFileInfo(ancestor).fileName());
        item->setData(Qt::UserRole, ancestor);
        addItem(item);
    }
    setCurrentRow(count() - 1);
    const int indent = 2;
    for (const QString& sub : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase)) {
        auto* item = new QListWidgetItem(QString(indent, u' ') + sub);
        item->setData(Qt::UserRole, QDir::toNativeSeparators(dir.filePath(sub)));
        addItem(item);
    }
    if (changed)
        emit Change();
}

void DirListBox::openEntry(QListWidgetItem* item) { setPath(item->data(Qt::UserRole).toString()); }

FileListBox::FileListBox(QWidget* parent) : QListWidget(parent) {
    connect(this, &QListWidget::itemClicked, this, [this] { emit Click(); });
}

void FileListBox::setPath(const QString& folder) {
    path_ = nativeFolder(folder);
    Refresh();
}

QString FileListBox::FileName() const {
    const QListWidgetItem* item = currentItem();
    return item && item->isSelected() ? item->text() : QString();
}

void FileListBox::Refresh() {
    const QString selected = FileName();
    clear();
    addItems(QDir(path_).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase));
    const auto matches = findItems(selected, Qt::MatchExactly);
    if (!selected.isEmpty() && !matches.isEmpty())
        setCurrentItem(matches.first());
}

} // namespace platform
