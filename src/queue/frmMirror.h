#pragma once
// The mirror upload's preview, "ミラーリングアップロード": what the mirror will do (new
// folders, new and changed files; the files only the server holds when
// "サーバーだけにあるファイルを削除" is ticked, unticked at first), with "実行" and
// "キャンセル".

#include "ftp/folders/MirrorPlan.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;
class QTreeWidget;

class frmMirror : public QDialog {
    Q_OBJECT
public:
    frmMirror(QWidget* parent, const ftp::folders::MirrorPlan& plan);

    // The jobs as the window shows them now.
    ftp::folders::JobList jobs() const;

private:
    QTreeWidget* MirrorList = nullptr;
    QLabel* MirrorSummary = nullptr;
    QCheckBox* chkDeleteRemoteOnly = nullptr;
    QPushButton* cmdMirrorRun = nullptr;
    QPushButton* cmdMirrorCancel = nullptr;
    const ftp::folders::MirrorPlan& plan_;

    void fill();
};
