#pragma once
// The local pane's three coupled lists: mounted volumes, the open folder with its
// ancestors and sub-folders, and the files of a folder.

#include <QComboBox>
#include <QListWidget>
#include <QString>

namespace platform {

// Mounted volumes; Drive() is the chosen volume's root ("/", "/media/usb", "C:\").
class DriveListBox : public QComboBox {
    Q_OBJECT
public:
    explicit DriveListBox(QWidget* parent = nullptr);
    QString Drive() const;
    void setDrive(const QString& root);
    void reload();

signals:
    void Change();
};

// The open folder's ancestors (from the root down) and its sub-folders; a double
// click opens an entry. Path() never ends in a separator except at a root.
class DirListBox : public QListWidget {
    Q_OBJECT
public:
    explicit DirListBox(QWidget* parent = nullptr);
    QString Path() const { return path_; }
    void setPath(const QString& folder);

signals:
    void Change();

private:
    void openEntry(QListWidgetItem* item);
    QString path_;
};

// The files of a folder, in name order. FileName() is the selected entry, or empty.
class FileListBox : public QListWidget {
    Q_OBJECT
public:
    explicit FileListBox(QWidget* parent = nullptr);
    QString Path() const { return path_; }
    void setPath(const QString& folder);
    QString FileName() const;
    void Refresh();

signals:
    void Click();

private:
    QString path_;
};

} // namespace platform
