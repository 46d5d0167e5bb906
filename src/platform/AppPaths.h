#pragma once
// Where the program finds its files: the application folder (MyPath) and the session
// log. Both can be redirected, so that tests never touch the real home folder.

#include <QString>

namespace apppaths {

// The folder the program was started from, ending in exactly one native separator.
QString MyPath();

// Joins a folder as the system reports it with one trailing separator (a root such as
// "/" or "C:\" already has one).
QString withTrailingSeparator(const QString& folder);

// The session transcript: $XDG_STATE_HOME/TesselFTP/log.txt on Linux
// (~/.local/state/TesselFTP/log.txt by default), c:\log.txt on Windows.
QString sessionLogPath();

void overrideApplicationFolder(const QString& folder); // empty = the executable's folder
void overrideSessionLogPath(const QString& path);      // empty = the default above

} // namespace apppaths
