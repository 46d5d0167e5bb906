#pragma once
// The window's remote paths: texts as the user typed or clicked them, joined with "/" and
// never normalised (unlike the forms the engine resolves and sends, ftp/component/RemotePath.h).

#include <QString>

namespace typedpath {

// RemoteDir + "/" + name, exactly as typed: "" + pub = "/pub", "/" + pub = "//pub".
inline QString compose(const QString& remoteDir, const QString& name) {
    return remoteDir + u'/' + name;
}

} // namespace typedpath
