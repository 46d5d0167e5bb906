#pragma once
// Remote path texts: checks made before anything is sent, and the forms the engine
// sends. Remote paths use "/" as separator.

#include <QString>

namespace ftp {

// A CR, LF or NUL would end or cut the command line it is put in (RFC 959, section 4.1.3).
bool holdsLineBreakOrNul(const QString& text);

// Runs of "/" become one and a trailing "/" goes (the root stays "/").
QString tidyRemotePath(const QString& path);

// The path to send for `path` given by the caller: "" is `base` (the login folder), a
// path starting with "/" stands on its own, any other is taken under `base`.
QString resolveRemotePath(const QString& path, const QString& base);

// `folder` + "/" + `name`, without doubling the separator at the root.
QString joinRemotePath(const QString& folder, const QString& name);

// The text after the last "/" of `path` (the whole path when it has none).
QString lastRemoteSegment(const QString& path);

// Whether a name from a listing may be shown and later used as one piece of a local or
// remote path: not empty, not "." or "..", no "/" or "\", no CR, LF or NUL.
bool isUsableListedName(const QString& name);

} // namespace ftp
