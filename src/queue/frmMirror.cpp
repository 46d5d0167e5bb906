#include "queue/frmMirror.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMap>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

frmMirror::frmMirror(QWidget* parent, const ftp::folders::MirrorPlan& plan) : QDialog(parent), plan_(plan) {
    setObjectName(QStringLiteral("frmMirror"));
    setWindowTitle(QStringLiteral("ミラーリングアップロード"));
    resize(520, 380);
    auto* layout = new QVBoxLayout(this);
    MirrorList = new QTreeWidget(this);
    MirrorList->setObjectName(QStringLiteral("MirrorList"));
    MirrorList->setHeaderLabels({QStringLiteral("処理"), QStringLiteral("ファイル")});
    MirrorList->setRootIsDecorated(false);
    MirrorList->header()->setStretchLastSection(true);
    layout->addWidget(MirrorList);
    MirrorSummary = new QLabel(this);
    MirrorSummary->setObjectName(QStringLiteral("MirrorSummary"));
    layout->addWidget(MirrorSummary);
    chkDeleteRemoteOnly = new QCheckBox(QStringLiteral("サーバーだけにあるファイルを削除"), this);
    chkDeleteRemoteOnly->setObjectName(QStringLiteral("chkDeleteRemoteOnly"));
    layout->addWidget(chkDeleteRemoteOnly);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    cmdMirrorRun = new QPushButton(QStringLiteral("実行"), this);
    cmdMirrorRun->setObjectName(QStringLiteral("cmdMirrorRun"));
    cmdMirrorCancel = new QPushButton(QStringLiteral("キャンセル"), this);
    cmdMirrorCancel->setObjectName(QStringLiteral("cmdMirrorCancel"));
    buttons->addWidget(cmdMirrorRun);
    buttons->addWidget(cmdMirrorCancel);
    layout->addLayout(buttons);
    connect(cmdMirrorRun, &QPushButton::clicked, this, &QDialog::accept);
    connect(cmdMirrorCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(chkDeleteRemoteOnly, &QCheckBox::toggled, this, &frmMirror::fill);
    fill();
}

ftp::folders::JobList frmMirror::jobs() const {
    return plan_.jobs(chkDeleteRemoteOnly->isChecked());
}

void frmMirror::fill() {
    const ftp::folders::JobList planned = jobs();
    QList<QTreeWidgetItem*> items;
    for (const ftp::folders::TransferJob& job : planned)
        items.append(new QTreeWidgetItem({job.state == ftp::folders::TransferJob::State::Failed
                                              ? QStringLiteral("送信不可: ") + job.cause
                                              : job.reason,
                                          job.shown}));
    MirrorList->clear();
    MirrorList->addTopLevelItems(items);
    // How many of each: "更新 2 件、新規 3 件".
    QMap<QString, int> counts;
    for (const ftp::folders::TransferJob& job : planned)
        ++counts[job.reason.isEmpty() ? QStringLiteral("送信不可") : job.reason];
    QStringList parts;
    for (auto count = counts.cbegin(); count != counts.cend(); ++count)
        parts.append(QStringLiteral("%1 %2 件").arg(count.key()).arg(count.value()));
    MirrorSummary->setText(planned.isEmpty() ? QStringLiteral("送るものはありません。")
                                             : parts.join(QStringLiteral("、")));
}
