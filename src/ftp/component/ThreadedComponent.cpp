#include "ftp/component/ThreadedComponent.h"

#include "ftp/component/EngineRouter.h"
#include "ftp/component/FtpEngine.h"
#include "ftp/component/Transcript.h"

#include <QFileInfo>

namespace ftp {

namespace {

QString lastSegment(const QString& path) {
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash < 0 ? path : path.mid(slash + 1);
}

} // namespace

ThreadedComponent::ThreadedComponent(const ComponentCreator& create)
    : callerContext_(std::make_unique<QObject>()) {
    worker_.runBlocking([&] {
        inner_ = create();
        inner_->setCallControl(&worker_.control());
    });
}

ThreadedComponent::~ThreadedComponent() {
    // The engine's sockets are dropped on the thread they belong to.
    worker_.runBlocking([&] { inner_.reset(); });
}

int ThreadedComponent::OpenLog(const QString& path, int mode) {
    return worker_.run({CallKind::Quick, path}, [&] { return inner_->OpenLog(path, mode); });
}

int ThreadedComponent::Connect(const QString& server, const QString& user, const QString& password) {
    return worker_.run({CallKind::Connect, server}, [&] { return inner_->Connect(server, user, password); });
}

int ThreadedComponent::PutFile(const QString& localPath, const QString& remoteDir, int& mode) {
    return worker_.run({CallKind::Upload, QFileInfo(localPath).fileName()},
                       [&] { return inner_->PutFile(localPath, remoteDir, mode); });
}

int ThreadedComponent::GetFile(const QString& remotePath, const QString& localPath, int& mode) {
    return worker_.run({CallKind::Download, lastSegment(remotePath)},
                       [&] { return inner_->GetFile(remotePath, localPath, mode); });
}

int ThreadedComponent::DeleteFile(const QString& remotePath) {
    return worker_.run({CallKind::Command, QStringLiteral("DELE ") + remotePath},
                       [&] { return inner_->DeleteFile(remotePath); });
}

int ThreadedComponent::Command(const QString& line) {
    // The progress shows the line as the transcript does: never a password.
    return worker_.run({CallKind::Command, Transcript::maskedCommand(line)},
                       [&] { return inner_->Command(line); });
}

void ThreadedComponent::setCertificatePrompt(CertificatePrompt prompt) {
    CertificatePrompt onCallerThread;
    if (prompt) {
        onCallerThread = [context = callerContext_.get(), prompt](const CertificateQuestion& question) {
            CertificateAnswer answer;
            // The caller's thread is waiting for the call in an event loop, which runs this.
            QMetaObject::invokeMethod(
                context, [&] { answer = prompt(question); }, Qt::BlockingQueuedConnection);
            return answer;
        };
    }
    worker_.runBlocking([&] { inner_->setCertificatePrompt(onCallerThread); });
}

void ThreadedComponent::setHostKeyPrompt(HostKeyPrompt prompt) {
    HostKeyPrompt onCallerThread;
    if (prompt) {
        onCallerThread = [context = callerContext_.get(), prompt](const HostKeyQuestion& question) {
            HostKeyAnswer answer;
            QMetaObject::invokeMethod(
                context, [&] { answer = prompt(question); }, Qt::BlockingQueuedConnection);
            return answer;
        };
    }
    worker_.runBlocking([&] { inner_->setHostKeyPrompt(onCallerThread); });
}

TlsStatus ThreadedComponent::tlsStatus() const {
    TlsStatus status;
    worker_.runBlocking([&] { status = inner_->tlsStatus(); });
    return status;
}

QString ThreadedComponent::GetReply() {
    return worker_.run({CallKind::Quick, QString()}, [&] { return inner_->GetReply(); });
}

FtpError ThreadedComponent::lastError() {
    return worker_.run({CallKind::Quick, QString()}, [&] { return inner_->lastError(); });
}

void ThreadedComponent::LogNote(const QString& text) {
    worker_.run({CallKind::Quick, QString()}, [&] { inner_->LogNote(text); });
}

int ThreadedComponent::CloseLog() {
    return worker_.run({CallKind::Quick, QString()}, [&] { return inner_->CloseLog(); });
}

void ThreadedComponent::Close() {
    worker_.run({CallKind::Command, QStringLiteral("QUIT")}, [&] { inner_->Close(); });
}

void ThreadedComponent::GiveUpTransfer() {
    worker_.run({CallKind::Quick, QString()}, [&] { inner_->GiveUpTransfer(); });
}

DirList ThreadedComponent::listNames(const QString& path, bool folders) {
    return worker_.run({CallKind::Listing, path.isEmpty() ? QStringLiteral("/") : path},
                       [&] { return inner_->GetDir(path, folders ? kFolderFlag : 0); });
}

std::unique_ptr<FtpComponent> createThreadedFtpEngine() {
    // FTP or SFTP, as the address given to Connect says.
    return std::make_unique<ThreadedComponent>(&createRoutedEngine);
}

} // namespace ftp
