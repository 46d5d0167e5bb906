#include "ftp/component/TranscribedEngine.h"

namespace ftp {

int TranscribedEngine::OpenLog(const QString& path, int mode) {
    throwIfClosed();
    return transcript_.open(path, mode == 0 ? Transcript::Mode::Replace : Transcript::Mode::Append) ? 0 : -1;
}

int TranscribedEngine::CloseLog() {
    transcript_.close();
    return 0;
}

void TranscribedEngine::throwIfClosed() const {
    if (closedForGood())
        throw FtpError(QStringLiteral("The session is closed."));
}

} // namespace ftp
