#include "ftp/component/RemotePath.h"

namespace ftp {

bool holdsLineBreakOrNul(const QString& text) {
    for (const QChar c : text) {
        if (c == u'\r' || c == u'\n' || c == u'\0')
            return true;
    }
    return false;
}

QString tidyRemotePath(const QString& path) {
    QString result;
    result.reserve(path.size());
    for (const QChar c : path) {
        if (c == u'/' && result.endsWith(u'/'))
            continue;
        result.append(c);
    }
    if (result.size() > 1 && result.endsWith(u'/'))
        result.chop(1);
    return result;
}

QString resolveRemotePath(const QString& path, const QString& base) {
    if (path.isEmpty())
        return base;
    if (path.startsWith(u'/') || base.isEmpty())
        return tidyRemotePath(path);
    return tidyRemotePath(base + u'/' + path);
}

QString joinRemotePath(const QString& folder, const QString& name) {
    if (folder.isEmpty())
        return name;
    if (folder.endsWith(u'/'))
        return folder + name;
    return folder + u'/' + name;
}

bool isUsableListedName(const QString& name) {
    if (name.isEmpty() || name == u"." || name == u"..")
        return false;
    for (const QChar c : name) {
        if (c == u'/' || c == u'\\' || c == u'\r' || c == u'\n' || c == u'\0')
            return false;
    }
    return true;
}

QString lastRemoteSegment(const QString& path) {
    return path.mid(path.lastIndexOf(u'/') + 1);
}

} // namespace ftp
