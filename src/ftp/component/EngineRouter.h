#pragma once
// The engine behind the component the window creates: the FTP engine until a Connect is
// given an "sftp://" address, the SFTP engine from then on. The window keeps its one
// component and its one worker thread; only the engine inside changes, and what was set
// on the component before (call control, prompts, the transcript) is set on it again.

#include "ftp/component/FtpComponent.h"

namespace ftp {

class EngineRouter final : public FtpComponent {
public:
    EngineRouter();
    ~EngineRouter() override;

    int OpenLog(const QString& path, int mode) override;
    int Connect(const QString& server, const QString& user, const QString& password) override;
    int CloseLog() override;
    void setCallControl(CallControl* control) override;
    void setCertificatePrompt(CertificatePrompt prompt) override;
    void setClearTextPrompt(ClearTextPrompt prompt) override;
    void setHostKeyPrompt(HostKeyPrompt prompt) override;
    TlsStatus tlsStatus() const override { return engine_->tlsStatus(); }

protected:
    // Every other call goes to the engine of the moment, as its default forwards it.
    bool forward(const CallInfo& info, const std::function<void(FtpComponent&)>& call) override {
        (void)info;
        call(*engine_);
        return true;
    }

private:
    std::unique_ptr<FtpComponent> engine_;
    bool sftp_ = false;
    CallControl* control_ = nullptr;
    CertificatePrompt certificatePrompt_;
    ClearTextPrompt clearTextPrompt_;
    HostKeyPrompt hostKeyPrompt_;
    QString logPath_; // the open transcript, empty when none
};

// What the factory's threaded component runs.
std::unique_ptr<FtpComponent> createRoutedEngine();

} // namespace ftp
