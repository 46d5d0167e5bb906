#include "ftp/component/FtpComponent.h"

namespace ftp {
// Placeholder until the engine lands: the identifier is known but nothing can be created.
std::unique_ptr<FtpComponent> createFtpEngine() {
    throw FtpError(QStringLiteral("The FTP engine is not available in this build."));
}
} // namespace ftp
