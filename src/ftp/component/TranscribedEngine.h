#pragma once
// What both engines keep beside their protocol: the session transcript the log pane reads
// back, why the last Connect failed, and the end of a session that was closed for good.

#include "ftp/component/FtpComponent.h"
#include "ftp/component/Transcript.h"

#include <QScopeGuard>

namespace ftp {

class TranscribedEngine : public FtpComponent {
public:
    // Mode 0 replaces an older transcript; any other mode appends to it.
    int OpenLog(const QString& path, int mode) override;
    int CloseLog() override;
    void LogNote(const QString& text) override { transcript_.note(text); }
    FtpError lastError() override { return lastError_; }

protected:
    // Whether Close ended the session: every later call fails.
    virtual bool closedForGood() const = 0;
    void throwIfClosed() const;
    // Writes the transcript out when the call ends, however it ends: the window reads the
    // file only between calls.
    [[nodiscard]] auto transcriptFlushedAtEnd() {
        return qScopeGuard([this] { transcript_.flush(); });
    }

    Transcript transcript_;
    FtpError lastError_{QString()}; // why the last Connect failed
};

} // namespace ftp
