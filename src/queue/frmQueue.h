#pragma once
// The transfer window, "転送キュー": every file of a queue with its state (待機, 転送中, 完了,
// 失敗 with its cause), the total progress with bytes, rate and time left, and "中止",
// which abandons the running file cleanly and ends the queue.

#include "ftp/folders/TransferJob.h"
#include "platform/CallControl.h"

#include <QDialog>
#include <QElapsedTimer>

#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class QTreeWidget;

class frmQueue : public QDialog {
    Q_OBJECT
public:
    explicit frmQueue(QWidget* parent);

    // What runs before the files do ("一覧を取得しています…"), in the window's status line.
    void setPhase(const QString& text);
    void setJobs(const ftp::folders::JobList& jobs);
    // The job at `index` changed state.
    void showJob(int index, const ftp::folders::TransferJob& job);
    // The call running now (nullptr between calls), for its progress and its cancel.
    void setCall(platform::CallControl* control);
    // Called once on "中止", before the running call is cancelled.
    void setStopHandler(std::function<void()> handler) { onStop_ = std::move(handler); }
    // The queue has ended: "中止" becomes "閉じる".
    void finish(const QString& outcome);

    // The state text of a job: "待機", "転送中", "完了", "失敗: <cause>".
    static QString stateText(const ftp::folders::TransferJob& job);

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    QTreeWidget* QueueList = nullptr;
    QProgressBar* QueueProgress = nullptr;
    QLabel* QueueBytes = nullptr;
    QLabel* QueueStatus = nullptr;
    QPushButton* cmdQueueStop = nullptr;
    QTimer* ticker_ = nullptr;

    platform::CallControl* call_ = nullptr;
    std::function<void()> onStop_;
    bool queueRunning_ = false;
    struct Running {
        int index = -1;
        qint64 size = 0;
    };
    Running running_; // the row being transferred
    bool stopAsked_ = false;
    qint64 totalBytes_ = 0;
    qint64 doneBytes_ = 0; // of the jobs that have ended
    QElapsedTimer elapsed_;

    void cmdQueueStop_Click();
    void refresh();
};
