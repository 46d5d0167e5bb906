#include "ftp/component/FtpComponent.h"

#include <QHash>

namespace ftp {

// Defined by the engine: the program's own FTP client, on a thread of its own.
std::unique_ptr<FtpComponent> createThreadedFtpEngine();

namespace {
QHash<QString, ComponentCreator>& registry() {
    static QHash<QString, ComponentCreator> creators{{kFtpComponentId, &createThreadedFtpEngine}};
    return creators;
}
} // namespace

std::unique_ptr<FtpComponent> CreateObject(const QString& id) {
    const auto it = registry().constFind(id);
    if (it == registry().constEnd() || !*it)
        throw FtpError(
            QStringLiteral("Cannot create component \"%1\": no component is registered under it.").arg(id));
    return (*it)();
}

void registerComponent(const QString& id, ComponentCreator creator) {
    if (creator)
        registry().insert(id, std::move(creator));
    else
        registry().remove(id);
}

} // namespace ftp
