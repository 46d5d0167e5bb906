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

// A prompt that the engine calls on the worker: it asks `prompt` on the caller's thread,
// which waits for the call in an event loop that runs the question, and hands the answer
// back. Empty when `prompt` is.
template <typename Answer, typename Question>
std::function<Answer(const Question&)> askedOnCallerThread(QObject* context,
                                                           std::function<Answer(const Question&)> prompt) {
    if (!prompt)
        return {};
    return [context, prompt = std::move(prompt)](const Question& question) {
        Answer answer{};
        QMetaObject::invokeMethod(
            context, [&] { answer = prompt(question); }, Qt::BlockingQueuedConnection);
        return answer;
    };
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
    // Windows never drop a component under its running call; should it happen, the call
    // is cancelled so the wait below is short.
    if (worker_.busy())
        worker_.control().cancel();
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
    auto forwarded = askedOnCallerThread(callerContext_.get(), std::move(prompt));
    worker_.runBlocking([&] { inner_->setCertificatePrompt(forwarded); });
}

void ThreadedComponent::setClearTextPrompt(ClearTextPrompt prompt) {
    auto forwarded = askedOnCallerThread(callerContext_.get(), std::move(prompt));
    worker_.runBlocking([&] { inner_->setClearTextPrompt(forwarded); });
}

void ThreadedComponent::setHostKeyPrompt(HostKeyPrompt prompt) {
    auto forwarded = askedOnCallerThread(callerContext_.get(), std::move(prompt));
    worker_.runBlocking([&] { inner_->setHostKeyPrompt(forwarded); });
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
    // Never raises: while a call runs, what it keeps is that call's business.
    if (worker_.busy())
        return;
    try {
        worker_.run({CallKind::Quick, QString()}, [&] { inner_->GiveUpTransfer(); });
    } catch (const std::exception&) {
    }
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
