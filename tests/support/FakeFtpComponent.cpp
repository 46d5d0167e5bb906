#include "support/FakeFtpComponent.h"

#include "platform/Codepage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace ftp {
std::unique_ptr<FtpComponent> createThreadedFtpEngine();
}

namespace testing {

int FakeFtpRecord::callCount(const QString& operation) const {
    int count = 0;
    for (const QString& call : calls)
        if (call.startsWith(operation + u'('))
            ++count;
    return count;
}

FakeFtpComponent::FakeFtpComponent(std::shared_ptr<FakeFtpRecord> record) : record_(std::move(record)) {
    ++record_->instances;
    ++record_->liveInstances;
}

FakeFtpComponent::~FakeFtpComponent() {
    --record_->liveInstances;
}

void FakeFtpComponent::enter(const QString& operation, const QString& call) {
    record_->calls.append(call);
    const int nth = record_->callCount(operation);
    for (const QString& rule : record_->script.failing) {
        if (rule == operation || rule == operation + u':' + QString::number(nth)) {
            const ftp::FtpError& failure = record_->script.failure;
            if (!failure.message().isEmpty())
                throw failure;
            throw ftp::FtpError(QStringLiteral("%1 failed (scripted)").arg(operation));
        }
    }
}

void FakeFtpComponent::appendLog(const QStringList& lines) {
    if (record_->logPath.isEmpty() || lines.isEmpty())
        return;
    QFile log(record_->logPath);
    if (!log.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    for (const QString& line : lines)
        log.write(codepage::toCp932(line) + "\r\n");
}

int FakeFtpComponent::OpenLog(const QString& path, int mode) {
    enter(QStringLiteral("OpenLog"), QStringLiteral("OpenLog(%1,%2)").arg(path).arg(mode));
    record_->logPath = path;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile log(path);
    if (log.open(QIODevice::WriteOnly | QIODevice::Truncate))
        log.close();
    return 0;
}

int FakeFtpComponent::Connect(const QString& server, const QString& user, const QString& password) {
    enter(QStringLiteral("Connect"), QStringLiteral("Connect(%1,%2,%3)").arg(server, user, password));
    appendLog(record_->script.connectLogLines);
    return record_->script.connectResult;
}

ftp::DirList FakeFtpComponent::listNames(const QString& path, bool folders) {
    enter(QStringLiteral("GetDir"),
          folders ? QStringLiteral("GetDir(%1,1)").arg(path) : QStringLiteral("GetDir(%1)").arg(path));
    const auto& table = folders ? record_->script.folders : record_->script.files;
    return table.value(path, std::nullopt);
}

int FakeFtpComponent::PutFile(const QString& localPath, const QString& remoteDir, int& mode) {
    enter(QStringLiteral("PutFile"), QStringLiteral("PutFile(%1,%2,%3)").arg(localPath, remoteDir).arg(mode));
    return record_->script.putResult;
}

int FakeFtpComponent::GetFile(const QString& remotePath, const QString& localPath, int& mode) {
    enter(QStringLiteral("GetFile"),
          QStringLiteral("GetFile(%1,%2,%3)").arg(remotePath, localPath).arg(mode));
    return record_->script.getResult;
}

int FakeFtpComponent::PutFileTimed(const QString& localPath, const QString& remoteDir, int& mode,
                                   const QDateTime&) {
    return PutFile(localPath, remoteDir, mode);
}

ftp::FolderListing FakeFtpComponent::ListFolder(const QString& path, bool) {
    enter(QStringLiteral("ListFolder"), QStringLiteral("ListFolder(%1)").arg(path));
    const auto listing = record_->script.listings.constFind(path);
    if (listing == record_->script.listings.cend())
        throw ftp::FtpError(QStringLiteral("550 %1: No such file or directory.").arg(path),
                            ftp::FailureDetail(ftp::FailureKind::Refused));
    return *listing;
}

int FakeFtpComponent::MakeFolder(const QString& path) {
    enter(QStringLiteral("MakeFolder"), QStringLiteral("MakeFolder(%1)").arg(path));
    return 1;
}

QString FakeFtpComponent::FileTime(const QString& path) {
    enter(QStringLiteral("FileTime"), QStringLiteral("FileTime(%1)").arg(path));
    return QString();
}

int FakeFtpComponent::SetFileTime(const QString& path, const QDateTime&) {
    enter(QStringLiteral("SetFileTime"), QStringLiteral("SetFileTime(%1)").arg(path));
    return 1;
}

int FakeFtpComponent::DeleteFile(const QString& remotePath) {
    enter(QStringLiteral("DeleteFile"), QStringLiteral("DeleteFile(%1)").arg(remotePath));
    return record_->script.deleteResult;
}

int FakeFtpComponent::Command(const QString& line) {
    enter(QStringLiteral("Command"), QStringLiteral("Command(%1)").arg(line));
    appendLog(record_->script.commandLogLines.value(line));
    if (record_->script.commandResults.isEmpty())
        return 2;
    return record_->script.commandResults.takeFirst();
}

QString FakeFtpComponent::GetReply() {
    enter(QStringLiteral("GetReply"), QStringLiteral("GetReply()"));
    return record_->script.reply;
}

ftp::FtpError FakeFtpComponent::lastError() {
    return record_->script.connectError;
}

void FakeFtpComponent::LogNote(const QString& text) {
    record_->calls.append(QStringLiteral("LogNote(%1)").arg(text));
    appendLog({QStringLiteral("# ") + text});
}

int FakeFtpComponent::CloseLog() {
    enter(QStringLiteral("CloseLog"), QStringLiteral("CloseLog()"));
    return 0;
}

void FakeFtpComponent::Close() {
    enter(QStringLiteral("Close"), QStringLiteral("Close()"));
}

FakeFtpInstall::FakeFtpInstall() : record_(std::make_shared<FakeFtpRecord>()) {
    auto record = record_;
    ftp::registerComponent(ftp::kFtpComponentId,
                           [record] { return std::make_unique<FakeFtpComponent>(record); });
}

FakeFtpInstall::~FakeFtpInstall() {
    ftp::registerComponent(ftp::kFtpComponentId, &ftp::createThreadedFtpEngine);
}

void FakeFtpComponent::GiveUpTransfer() {
    record_->calls.append(QStringLiteral("GiveUpTransfer()"));
}

} // namespace testing
