#include "ftp/component/EngineRouter.h"

#include "ftp/component/FtpEngine.h"
#include "ftp/component/ServerAddress.h"
#include "ftp/component/sftp/SftpEngine.h"

namespace ftp {

EngineRouter::EngineRouter() : engine_(createFtpEngine()) {}

EngineRouter::~EngineRouter() = default;

int EngineRouter::OpenLog(const QString& path, int mode) {
    const int result = engine_->OpenLog(path, mode);
    logPath_ = result == 0 ? path : QString();
    return result;
}

int EngineRouter::CloseLog() {
    logPath_.clear();
    return engine_->CloseLog();
}

void EngineRouter::setCallControl(CallControl* control) {
    control_ = control;
    engine_->setCallControl(control);
}

void EngineRouter::setCertificatePrompt(CertificatePrompt prompt) {
    certificatePrompt_ = prompt;
    engine_->setCertificatePrompt(std::move(prompt));
}

void EngineRouter::setClearTextPrompt(ClearTextPrompt prompt) {
    clearTextPrompt_ = prompt;
    engine_->setClearTextPrompt(std::move(prompt));
}

void EngineRouter::setHostKeyPrompt(HostKeyPrompt prompt) {
    hostKeyPrompt_ = prompt;
    engine_->setHostKeyPrompt(std::move(prompt));
}

int EngineRouter::Connect(const QString& server, const QString& user, const QString& password) {
    const auto address = parseServerAddress(server);
    if (!sftp_ && address && address->protocol == Protocol::Sftp) {
        // The FTP engine has sent nothing yet: its transcript goes on in the SFTP engine.
        engine_->CloseLog();
        engine_ = createSftpEngine();
        sftp_ = true;
        engine_->setCallControl(control_);
        engine_->setCertificatePrompt(certificatePrompt_);
        engine_->setClearTextPrompt(clearTextPrompt_);
        engine_->setHostKeyPrompt(hostKeyPrompt_);
        if (!logPath_.isEmpty())
            engine_->OpenLog(logPath_, 1);
    }
    return engine_->Connect(server, user, password);
}

std::unique_ptr<FtpComponent> createRoutedEngine() {
    return std::make_unique<EngineRouter>();
}

} // namespace ftp
