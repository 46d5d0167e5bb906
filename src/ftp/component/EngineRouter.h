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
    int PutFile(const QString& localPath, const QString& remoteDir, int& mode) override {
        return engine_->PutFile(localPath, remoteDir, mode);
    }
    int PutFileTimed(const QString& localPath, const QString& remoteDir, int& mode,
                     const QDateTime& utc) override {
        return engine_->PutFileTimed(localPath, remoteDir, mode, utc);
    }
    int GetFile(const QString& remotePath, const QString& localPath, int& mode) override {
        return engine_->GetFile(remotePath, localPath, mode);
    }
    int DeleteFile(const QString& remotePath) override { return engine_->DeleteFile(remotePath); }
    int Command(const QString& line) override { return engine_->Command(line); }
    FolderListing ListFolder(const QString& path, bool identify) override {
        return engine_->ListFolder(path, identify);
    }
    int MakeFolder(const QString& path) override { return engine_->MakeFolder(path); }
    QString FileTime(const QString& path) override { return engine_->FileTime(path); }
    int SetFileTime(const QString& path, const QDateTime& utc) override {
        return engine_->SetFileTime(path, utc);
    }
    QString GetReply() override { return engine_->GetReply(); }
    FtpError lastError() override { return engine_->lastError(); }
    void LogNote(const QString& text) override { engine_->LogNote(text); }
    int CloseLog() override;
    void Close() override { engine_->Close(); }
    void GiveUpTransfer() override { engine_->GiveUpTransfer(); }
    void setCallControl(CallControl* control) override;
    void setCertificatePrompt(CertificatePrompt prompt) override;
    void setClearTextPrompt(ClearTextPrompt prompt) override;
    void setHostKeyPrompt(HostKeyPrompt prompt) override;
    TlsStatus tlsStatus() const override { return engine_->tlsStatus(); }

protected:
    DirList listNames(const QString& path, bool folders) override {
        return engine_->GetDir(path, folders ? kFolderFlag : 0);
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
