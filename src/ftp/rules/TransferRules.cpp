#include "ftp/rules/TransferRules.h"

#include <QDir>

namespace transferrules {

QString lastSegment(const QString& remotePath) {
    return remotePath.mid(remotePath.lastIndexOf(u'/') + 1);
}

QString downloadName(const QString& selectedEntry, const QString& remotePath) {
    if (!selectedEntry.isEmpty() && remotePath.endsWith(u'/' + selectedEntry))
        return selectedEntry;
    return lastSegment(remotePath);
}

bool isSafeLocalName(const QString& name) {
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    return !name.contains(u'/') && !name.contains(u'\\') && !name.contains(QChar(u'\0'));
}

QString downloadTarget(const QString& saveTo, const QString& name, bool saveToIsFolder) {
    const bool endsInSeparator = saveTo.endsWith(u'/') || saveTo.endsWith(QDir::separator());
    if (!endsInSeparator && saveToIsFolder)
        return saveTo + QDir::separator() + name;
    return saveTo + name;
}

} // namespace transferrules
