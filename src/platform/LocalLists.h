#pragma once
// The local pane's three coupled lists: the drive list (mounted volumes), the folder
// list (the open folder's ancestors and sub-folders) and the file list (a folder's
// files). The file system is reached through LocalVolumes, which tests replace.

#include <QComboBox>
#include <QList>
#include <QListWidget>
#include <QString>

#include <stdexcept>

namespace platform {

// One mounted volume: its root folder (native separators, ending in one separator, e.g.
// "/", "/media/usb/", "C:\") and its label (may be empty).
struct Volume {
    QString root;
    QString label;
};

// Why a folder could not be opened. NotReady: the volume is not there or not ready (a
// removable drive without a medium, a volume that went away). Other: anything else (the
// folder does not exist, no access, ...).
class VolumeError : public std::runtime_error {
public:
    enum Kind { NotReady, Other };
    VolumeError(Kind kind, const QString& message)
        : std::runtime_error(message.toStdString()), kind_(kind), text_(message) {}
    Kind kind() const noexcept { return kind_; }
    const QString& message() const noexcept { return text_; }

private:
    Kind kind_;
    QString text_;
};

// The file-system services the lists use.
class LocalVolumes {
public:
    virtual ~LocalVolumes() = default;
    // The volumes the drive list offers, in display order.
    virtual QList<Volume> mounted() const = 0;
    // Returns when `folder` can be opened; throws VolumeError otherwise.
    virtual void checkFolder(const QString& folder) const = 0;
};

// The services in use: the real file system unless replaced. Not owned; nullptr puts the
// real one back.
LocalVolumes& localVolumes();
void setLocalVolumes(LocalVolumes* volumes);

// The text the drive list shows for a volume: its root, then its label in brackets.
QString driveText(const Volume& volume);
// The volume holding `folder`: the one with the longest root that `folder` lies in (on a
// path-segment boundary), or -1.
qsizetype volumeIndexOf(const QString& folder, const QList<Volume>& volumes);
// A drive text turned into its volume's root; any other text is returned unchanged.
QString resolveDriveText(const QString& text, const QList<Volume>& volumes);

// The drive list: a drop-down of the mounted volumes. Change is emitted when the user
// picks another volume; setting the drive in code does not emit it.
class DriveListBox : public QComboBox {
    Q_OBJECT
public:
    explicit DriveListBox(QWidget* parent = nullptr);
    // The chosen drive as the list shows it (root, then label in brackets).
    QString Drive() const;
    // Shows the volume holding `folder` (a drive text is accepted too).
    void setDriveOf(const QString& folder);
    // Reads the volumes again, keeping the chosen one where it still exists.
    void reload();

    // Reads the volumes again before the drop-down opens, so a newly mounted one shows.
    void showPopup() override;

signals:
    void Change();

private:
    QList<Volume> volumes_;
    int shown_ = -1;
};

// The folder list: the open folder's ancestors from the root down (the open one selected),
// then its sub-folders, indented. A double click or Enter opens an entry. Path() never ends
// in a separator except at a root.
class DirListBox : public QListWidget {
    Q_OBJECT
public:
    explicit DirListBox(QWidget* parent = nullptr);
    QString Path() const { return path_; }
    // Opens a folder, or, given a drive text, the root of that drive. Throws VolumeError
    // when it cannot be opened; the list then keeps showing what it showed.
    void setPath(const QString& folderOrDrive);

signals:
    void Change();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void openEntry(QListWidgetItem* item);
    void display(const QString& folder);
    QString path_;
};

// The file list: the plain files of a folder (hidden ones left out), in name order.
// Click is emitted when the user picks an entry with the mouse or the keyboard.
class FileListBox : public QListWidget {
    Q_OBJECT
public:
    explicit FileListBox(QWidget* parent = nullptr);
    QString Path() const { return path_; }
    // Lists `folder`'s files, none selected (the same folder again keeps the selection);
    // a folder that cannot be read gives an empty list.
    void setPath(const QString& folder);
    // The selected entry's bare name (of several, the current one), empty when none is
    // selected.
    QString FileName() const;
    // Reads the folder again, keeping the selected name where it still exists.
    void Refresh();

signals:
    void Click();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString path_;
};

} // namespace platform
