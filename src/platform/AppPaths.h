#pragma once
// Where the program finds its files: the application folder (MyPath), the files that
// come with the program, and the session log. The application folder and the log can be
// redirected, so that tests never touch the real home folder.
//
// Run from a folder the user can write (the build folder, an unpacked copy), every file
// lives beside the executable. Installed (the executable's folder is not writable, or it
// sits in PREFIX/bin beside PREFIX/share/tesselftp), the application folder is the
// per-user $XDG_DATA_HOME/TesselFTP/, and the files that come with the program are read
// from there when the user put a copy there, else from PREFIX/share/tesselftp/.

#include <QString>

namespace apppaths {

struct ProgramFolders {
    QString application; // MyPath: ends in one separator
    QString shared;      // the files that come with the program; empty when beside the executable
    bool installed() const { return !shared.isEmpty(); }
};

// The folders for an executable in executableFolder; dataHome is the per-user data folder
// ($XDG_DATA_HOME, by default ~/.local/share).
ProgramFolders programFolders(const QString& executableFolder, bool executableFolderWritable,
                              const QString& dataHome);

// A file that comes with the program ("PUPU.wav", "FtpHelp.htm"): the user's copy in the
// application folder when there is one, else the shared one.
QString programFile(const ProgramFolders& folders, const QString& name);

// Creates a per-user folder readable by its owner only (0700); an existing one is left as
// it is. False when it cannot be created.
bool ensurePrivateFolder(const QString& folder);

// The application folder, ending in exactly one native separator. Installed, the
// per-user folder is created on first use.
QString MyPath();

// programFile() for the running program.
QString programFile(const QString& name);

// Joins a folder as the system reports it with one trailing separator (a root such as
// "/" or "C:\" already has one).
QString withTrailingSeparator(const QString& folder);

// The session transcript: $XDG_STATE_HOME/TesselFTP/log.txt on Linux
// (~/.local/state/TesselFTP/log.txt by default), c:\log.txt on Windows.
QString sessionLogPath();

void overrideApplicationFolder(const QString& folder); // empty = as above; set = a folder beside the files
void overrideSessionLogPath(const QString& path);      // empty = the default above

} // namespace apppaths
