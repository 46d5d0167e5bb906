#pragma once
// A test double of the FTP component: records every call with its arguments, answers
// from scripted results, throws where told to, and can write transcript lines into the
// session log as the real engine does.

#include "ftp/component/FtpComponent.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>

namespace testing {

struct FakeFtpScript {
    // Results, keyed by path for GetDir.
    int connectResult = 0;
    QHash<QString, ftp::DirList> folders; // GetDir(path, 1); a missing path gives nullopt
    QHash<QString, ftp::DirList> files;   // GetDir(path)
    int putResult = 0;
    int getResult = 0;
    int deleteResult = 1;
    // ListFolder(path); a missing path is refused like a folder that is not there.
    QHash<QString, ftp::FolderListing> listings;
    QList<int> commandResults; // consumed in order; when empty, 2
    QString reply = QStringLiteral("200 OK");
    // Operation names ("Connect", "GetDir", "PutFile", ...) that throw FtpError; a name
    // followed by ":N" throws only on its N-th call (1-based).
    QStringList failing;
    // What those throw: its message and detail (empty message: "<operation> failed (scripted)").
    ftp::FtpError failure{QString()};
    // What lastError tells after Connect.
    ftp::FtpError connectError{QString()};
    // Lines the fake appends to the session log when OpenLog / Connect / Command run.
    QStringList connectLogLines{QStringLiteral("220 fake server ready"), QStringLiteral("USER user"),
                                QStringLiteral("PASS ****"), QStringLiteral("230 logged in")};
    QHash<QString, QStringList> commandLogLines; // keyed by the command line sent
};

// Shared between the test and the instances the factory creates.
struct FakeFtpRecord {
    FakeFtpScript script;
    QStringList calls; // "OpenLog(<path>,0)", "Connect(s,u,p)", "GetDir(p,1)", "GetDir(p)", ...
    QString logPath;
    int instances = 0;
    int liveInstances = 0;
    int callCount(const QString& operation) const;
};

class FakeFtpComponent : public ftp::FtpComponent {
public:
    explicit FakeFtpComponent(std::shared_ptr<FakeFtpRecord> record);
    ~FakeFtpComponent() override;

    int OpenLog(const QString& path, int mode) override;
    int Connect(const QString& server, const QString& user, const QString& password) override;
    int PutFile(const QString& localPath, const QString& remoteDir, int& mode) override;
    int GetFile(const QString& remotePath, const QString& localPath, int& mode) override;
    // Recorded as "PutFile(...)": the time is not kept.
    int PutFileTimed(const QString& localPath, const QString& remoteDir, int& mode,
                     const QDateTime& utc) override;
    ftp::FolderListing ListFolder(const QString& path, bool identify) override;
    int MakeFolder(const QString& path) override;
    QString FileTime(const QString& path) override;
    int SetFileTime(const QString& path, const QDateTime& utc) override;
    int DeleteFile(const QString& remotePath) override;
    int Command(const QString& line) override;
    QString GetReply() override;
    ftp::FtpError lastError() override;
    void LogNote(const QString& text) override;
    int CloseLog() override;
    void Close() override;
    void GiveUpTransfer() override;

protected:
    ftp::DirList listNames(const QString& path, bool folders) override;

private:
    void enter(const QString& operation, const QString& call);
    void appendLog(const QStringList& lines);
    std::shared_ptr<FakeFtpRecord> record_;
};

// Registers the fake under "ftpcomp.FTP" for the lifetime of this object and puts the
// real engine back afterwards.
class FakeFtpInstall {
public:
    FakeFtpInstall();
    ~FakeFtpInstall();
    FakeFtpRecord& record() { return *record_; }
    FakeFtpScript& script() { return record_->script; }

private:
    std::shared_ptr<FakeFtpRecord> record_;
};

} // namespace testing
