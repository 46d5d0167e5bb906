#include "platform/LocalLists.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QStorageInfo>

#include <algorithm>

namespace platform {

namespace {

constexpr Qt::CaseSensitivity kPathCase =
#ifdef Q_OS_WIN
    Qt::CaseInsensitive;
#else
    Qt::CaseSensitive;
#endif

QString nativeFolder(const QString& folder) {
    return QDir::toNativeSeparators(QDir::cleanPath(QFileInfo(folder).absoluteFilePath()));
}

QString withSeparator(const QString& folder) {
    return folder.endsWith(QDir::separator()) ? folder : folder + QDir::separator();
}

// Mount points that are the system's own, not places a user keeps files.
bool isSystemMount(const QString& root) {
#ifdef Q_OS_UNIX
    static const QStringList hidden = {QStringLiteral("/proc/"), QStringLiteral("/sys/"),
                                       QStringLiteral("/dev/"), QStringLiteral("/snap/")};
    for (const QString& prefix : hidden)
        if (root.startsWith(prefix))
            return true;
    return root.startsWith(QLatin1String("/run/")) && !root.startsWith(QLatin1String("/run/media/"));
#else
    Q_UNUSED(root);
    return false;
#endif
}

// The real file system.
class SystemVolumes final : public LocalVolumes {
public:
    QList<Volume> mounted() const override {
        QList<Volume> volumes;
        for (const QStorageInfo& storage : QStorageInfo::mountedVolumes()) {
            if (storage.rootPath().isEmpty())
                continue;
            const QString root = withSeparator(QDir::toNativeSeparators(storage.rootPath()));
            if (isSystemMount(root))
                continue;
            volumes.append({root, storage.name()});
        }
        std::sort(volumes.begin(), volumes.end(), [](const Volume& a, const Volume& b) {
            return QString::compare(a.root, b.root, kPathCase) < 0;
        });
        return volumes;
    }

    void checkFolder(const QString& folder) const override {
        const QString target = nativeFolder(folder);
        const QList<Volume> volumes = mounted();
        const qsizetype index = volumeIndexOf(target, volumes);
        const QString root = index >= 0 ? volumes[index].root : QStorageInfo(target).rootPath();
        if (root.isEmpty() || !QFileInfo(root).isDir())
            throw VolumeError(VolumeError::NotReady, QStringLiteral("Device not available: %1").arg(target));
        const QStorageInfo storage(root);
        if (!storage.isValid() || !storage.isReady())
            throw VolumeError(VolumeError::NotReady, QStringLiteral("Disk not ready: %1").arg(root));
        const QFileInfo info(target);
        if (!info.exists())
            throw VolumeError(VolumeError::Other, QStringLiteral("Path not found: %1").arg(target));
        if (!info.isDir())
            throw VolumeError(VolumeError::Other, QStringLiteral("Not a folder: %1").arg(target));
        bool readable = info.isReadable();
#ifdef Q_OS_UNIX
        readable = readable && info.isExecutable(); // a folder is entered through its x bit
#endif
        if (!readable)
            throw VolumeError(VolumeError::Other, QStringLiteral("Permission denied: %1").arg(target));
    }
};

SystemVolumes& systemVolumes() {
    static SystemVolumes volumes;
    return volumes;
}

LocalVolumes* installedVolumes = nullptr;

} // namespace

LocalVolumes& localVolumes() {
    return installedVolumes ? *installedVolumes : systemVolumes();
}
void setLocalVolumes(LocalVolumes* volumes) {
    installedVolumes = volumes;
}

QString driveText(const Volume& volume) {
    QString text = volume.root;
    if (text.size() > 1 && text.endsWith(QDir::separator()))
        text.chop(1);
    if (!volume.label.isEmpty())
        text += QStringLiteral(" [") + volume.label + u']';
    return text;
}

qsizetype volumeIndexOf(const QString& folder, const QList<Volume>& volumes) {
    const QString target = withSeparator(QDir::toNativeSeparators(folder));
    qsizetype best = -1;
    for (qsizetype i = 0; i < volumes.size(); ++i) {
        const QString root = withSeparator(volumes[i].root);
        if (target.startsWith(root, kPathCase) && (best < 0 || root.size() > volumes[best].root.size()))
            best = i;
    }
    return best;
}

QString resolveDriveText(const QString& text, const QList<Volume>& volumes) {
    for (const Volume& volume : volumes)
        if (text == driveText(volume))
            return volume.root;
    return text;
}

// ---- DriveListBox ----

DriveListBox::DriveListBox(QWidget* parent) : QComboBox(parent) {
    setDriveOf(QDir::currentPath());
    connect(this, &QComboBox::activated, this, [this](int index) {
        if (index == shown_)
            return;
        shown_ = index;
        emit Change();
    });
}

void DriveListBox::reload() {
    const QString shownRoot = shown_ >= 0 && shown_ < volumes_.size() ? volumes_[shown_].root : QString();
    const QSignalBlocker blocker(this);
    volumes_ = localVolumes().mounted();
    clear();
    for (const Volume& volume : volumes_)
        addItem(driveText(volume), volume.root);
    shown_ = shownRoot.isEmpty() ? -1 : findData(shownRoot);
    setCurrentIndex(shown_);
}

QString DriveListBox::Drive() const {
    return currentIndex() >= 0 ? itemText(currentIndex()) : QString();
}

void DriveListBox::setDriveOf(const QString& folder) {
    reload();
    const qsizetype index = volumeIndexOf(nativeFolder(resolveDriveText(folder, volumes_)), volumes_);
    const QSignalBlocker blocker(this);
    shown_ = static_cast<int>(index);
    setCurrentIndex(shown_);
}

void DriveListBox::showPopup() {
    reload();
    QComboBox::showPopup();
}

// ---- DirListBox ----

DirListBox::DirListBox(QWidget* parent) : QListWidget(parent) {
    connect(this, &QListWidget::itemDoubleClicked, this, &DirListBox::openEntry);
    display(nativeFolder(QDir::currentPath()));
}

void DirListBox::setPath(const QString& folderOrDrive) {
    const QString target = nativeFolder(resolveDriveText(folderOrDrive, localVolumes().mounted()));
    localVolumes().checkFolder(target);
    display(target);
}

void DirListBox::display(const QString& folder) {
    const QDir dir(folder);
    const bool changed = folder != path_;
    path_ = folder;
    clear();
    QStringList ancestors;
    for (QDir up = dir;;) {
        ancestors.prepend(QDir::toNativeSeparators(up.absolutePath()));
        if (!up.cdUp())
            break;
    }
    for (const QString& ancestor : ancestors) {
        const QString name = QFileInfo(ancestor).fileName();
        auto* item = new QListWidgetItem(name.isEmpty() ? ancestor : name);
        item->setData(Qt::UserRole, ancestor);
        addItem(item);
    }
    setCurrentRow(count() - 1);
    const QString indent(2, u' ');
    for (const QString& sub :
         dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase)) {
        auto* item = new QListWidgetItem(indent + sub);
        item->setData(Qt::UserRole, QDir::toNativeSeparators(dir.filePath(sub)));
        addItem(item);
    }
    if (changed)
        emit Change();
}

void DirListBox::openEntry(QListWidgetItem* item) {
    if (!item)
        return;
    try {
        setPath(item->data(Qt::UserRole).toString());
    } catch (const VolumeError&) {
        QApplication::beep(); // the list stays where it was
    }
}

void DirListBox::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        openEntry(currentItem());
        return;
    }
    QListWidget::keyPressEvent(event);
}

// ---- FileListBox ----

FileListBox::FileListBox(QWidget* parent) : QListWidget(parent) {
    connect(this, &QListWidget::itemClicked, this, [this] { emit Click(); });
}

void FileListBox::setPath(const QString& folder) {
    const QString target = nativeFolder(folder);
    if (target != path_)
        clear(); // another folder opens with no file selected, even one of the same name
    path_ = target;
    Refresh();
}

// With several selected, the one clicked last (the current one) is the file the size box
// and "選択" speak of.
QString FileListBox::FileName() const {
    if (currentItem() && currentItem()->isSelected())
        return currentItem()->text();
    const QList<QListWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}

void FileListBox::Refresh() {
    const QString selected = FileName();
    clear();
    addItems(QDir(path_).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase));
    if (selected.isEmpty())
        return;
    const QList<QListWidgetItem*> matches = findItems(selected, Qt::MatchExactly);
    if (!matches.isEmpty())
        setCurrentItem(matches.first());
}

void FileListBox::keyPressEvent(QKeyEvent* event) {
    const int before = currentRow();
    QListWidget::keyPressEvent(event);
    if (currentRow() != before && !FileName().isEmpty())
        emit Click();
}

} // namespace platform
