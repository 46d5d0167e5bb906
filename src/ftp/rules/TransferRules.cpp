#include "ftp/rules/TransferRules.h"

#include "ftp/component/RemotePath.h"
#include "ftp/rules/LocalFiles.h"

#include <QDir>

namespace transferrules {

QString lastSegment(const QString& remotePath) {
    return ftp::lastRemoteSegment(remotePath);
}

QString downloadName(const QString& selectedEntry, const QString& remotePath) {
    if (!selectedEntry.isEmpty() && remotePath.endsWith(u'/' + selectedEntry))
        return selectedEntry;
    return lastSegment(remotePath);
}

bool isSafeLocalName(const QString& name) {
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name.at(i);
        if (c == u'/' || c == u'\\')
            return false;
        // A surrogate pair is one character; a lone half is none.
        if (c.isHighSurrogate() && i + 1 < name.size() && name.at(i + 1).isLowSurrogate()) {
            ++i;
            continue;
        }
        switch (c.category()) {
        case QChar::Other_Control:       // NUL, TAB, ESC, DEL, C1 controls
        case QChar::Other_Format:        // bidi overrides (U+202E), zero-width characters
        case QChar::Other_Surrogate:     // half a pair
        case QChar::Separator_Line:      // U+2028
        case QChar::Separator_Paragraph: // U+2029
            return false;
        default:
            break;
        }
    }
    return true;
}

QString downloadTarget(const QString& saveTo, const QString& name, SaveTo kind) {
    const bool endsInSeparator = saveTo.endsWith(u'/') || saveTo.endsWith(QDir::separator());
    if (endsInSeparator)
        return saveTo + name;
    if (kind == SaveTo::Folder)
        return localfiles::composePath(saveTo, name);
    if (kind == SaveTo::File) {
        const qsizetype cut = std::max(saveTo.lastIndexOf(u'/'), saveTo.lastIndexOf(QDir::separator()));
        return saveTo.left(cut + 1) + name;
    }
    return saveTo + name;
}

} // namespace transferrules
