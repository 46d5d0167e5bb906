#include "queue/frmQueue.h"

#include "platform/ProgressText.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <limits>

using ftp::folders::TransferJob;

namespace {

enum Column { FileColumn, StateColumn, SizeColumn };

} // namespace

frmQueue::frmQueue(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmQueue"));
    setWindowTitle(QStringLiteral("転送キュー"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    resize(560, 400);
    auto* layout = new QVBoxLayout(this);
    QueueList = new QTreeWidget(this);
    QueueList->setObjectName(QStringLiteral("QueueList"));
    QueueList->setAccessibleName(QStringLiteral("転送するファイル"));
    QueueList->setHeaderLabels(
        {QStringLiteral("ファイル"), QStringLiteral("状態"), QStringLiteral("サイズ")});
    QueueList->setRootIsDecorated(false);
    QueueList->setUniformRowHeights(true);
    QueueList->header()->setSectionResizeMode(FileColumn, QHeaderView::Stretch);
    layout->addWidget(QueueList);
    QueueStatus = new QLabel(this);
    QueueStatus->setObjectName(QStringLiteral("QueueStatus"));
    layout->addWidget(QueueStatus);
    QueueProgress = new QProgressBar(this);
    QueueProgress->setObjectName(QStringLiteral("QueueProgress"));
    QueueProgress->setAccessibleName(QStringLiteral("全体の進み具合"));
    layout->addWidget(QueueProgress);
    QueueBytes = new QLabel(this);
    QueueBytes->setObjectName(QStringLiteral("QueueBytes"));
    layout->addWidget(QueueBytes);
    cmdQueueStop = new QPushButton(QStringLiteral("中止"), this);
    cmdQueueStop->setObjectName(QStringLiteral("cmdQueueStop"));
    cmdQueueStop->setAutoDefault(false);
    layout->addWidget(cmdQueueStop, 0, Qt::AlignRight);
    connect(cmdQueueStop, &QPushButton::clicked, this, &frmQueue::cmdQueueStop_Click);
    ticker_ = new QTimer(this);
    connect(ticker_, &QTimer::timeout, this, &frmQueue::refresh);
    queueRunning_ = true;
    elapsed_.start();
    ticker_->start(200);
}

QString frmQueue::stateText(const TransferJob& job) {
    switch (job.state) {
    case TransferJob::State::Waiting:
        return QStringLiteral("待機");
    case TransferJob::State::Running:
        return QStringLiteral("転送中");
    case TransferJob::State::Done:
        return QStringLiteral("完了");
    case TransferJob::State::Failed:
        break;
    }
    return QStringLiteral("失敗: ") + job.cause;
}

void frmQueue::setPhase(const QString& text) {
    QueueStatus->setText(text);
}

void frmQueue::setJobs(const ftp::folders::JobList& jobs) {
    QList<QTreeWidgetItem*> items;
    items.reserve(jobs.size());
    totalBytes_ = doneBytes_ = 0;
    for (const TransferJob& job : jobs) {
        auto* item =
            new QTreeWidgetItem({job.shown, stateText(job),
                                 job.isTransfer() ? progresstext::readableBytes(job.size) : QString()});
        item->setToolTip(StateColumn, job.cause);
        items.append(item);
        if (job.isTransfer() && job.state == TransferJob::State::Waiting)
            totalBytes_ += job.size;
    }
    QueueList->clear();
    QueueList->addTopLevelItems(items); // in bulk
    elapsed_.restart();
    refresh();
}

void frmQueue::showJob(int index, const TransferJob& job) {
    QTreeWidgetItem* item = QueueList->topLevelItem(index);
    if (!item)
        return;
    item->setText(StateColumn, stateText(job));
    item->setToolTip(StateColumn, job.cause);
    if (job.state == TransferJob::State::Running) {
        QueueList->scrollToItem(item);
        QueueStatus->setText(job.shown);
        running_ = {index, job.isTransfer() ? job.size : 0};
    } else {
        running_ = {-1, 0};
        if (job.isTransfer())
            doneBytes_ += job.size;
    }
    refresh();
}

void frmQueue::setCall(platform::CallControl* control) {
    call_ = control;
    if (call_ && stopAsked_)
        call_->cancel();
}

void frmQueue::refresh() {
    const qint64 running = call_ && call_->done() > 0 ? call_->done() : 0;
    const qint64 done = std::min(doneBytes_ + running, totalBytes_);
    // The running file's own share, where its size is known.
    if (QTreeWidgetItem* item = QueueList->topLevelItem(running_.index); item && running_.size > 0)
        item->setText(StateColumn,
                      QStringLiteral("転送中 %1%").arg(std::min<qint64>(running * 100 / running_.size, 100)));
    if (totalBytes_ > 0) {
        // In KiB, so that sizes beyond 2 GiB fit the bar's int range.
        QueueProgress->setRange(
            0, int(std::min<qint64>(totalBytes_ / 1024 + 1, std::numeric_limits<int>::max())));
        QueueProgress->setValue(int(done / 1024));
    } else {
        QueueProgress->setRange(0, 1);
        QueueProgress->setValue(queueRunning_ ? 0 : 1);
    }
    QueueBytes->setText(progresstext::transferLine(done, totalBytes_, elapsed_.elapsed()));
}

void frmQueue::cmdQueueStop_Click() {
    if (!queueRunning_) {
        close();
        return;
    }
    if (stopAsked_)
        return;
    stopAsked_ = true;
    cmdQueueStop->setEnabled(false);
    QueueStatus->setText(QStringLiteral("中止しています…"));
    if (onStop_)
        onStop_();
    if (call_)
        call_->cancel();
}

void frmQueue::finish(const QString& outcome) {
    queueRunning_ = false;
    call_ = nullptr;
    ticker_->stop();
    refresh();
    QueueStatus->setText(outcome);
    cmdQueueStop->setText(QStringLiteral("閉じる"));
    cmdQueueStop->setEnabled(true);
}

void frmQueue::closeEvent(QCloseEvent* event) {
    // While the queue runs, closing the window means "中止"; it closes once it has ended.
    if (queueRunning_) {
        event->ignore();
        cmdQueueStop_Click();
        return;
    }
    QDialog::closeEvent(event);
}

void frmQueue::reject() {
    if (queueRunning_)
        cmdQueueStop_Click();
    else
        QDialog::reject();
}
