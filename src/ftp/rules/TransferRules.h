#pragma once
// Text rules of the two transfer buttons: the checks before a transfer and the local
// target of a download.

#include <QString>

namespace transferrules {

// The one check on a name: it must hold a "." somewhere.
inline bool hasDot(const QString& text) {
    return text.contains(u'.');
}

// The text after the last "/" of a remote path (the whole path when it has none).
QString lastSegment(const QString& remotePath);

// The local name a download saves under: the entry selected in the remote file list when
// the remote path still ends with "/" and that entry; otherwise (nothing selected, or the
// path was changed by hand) the last segment of the remote path.
QString downloadName(const QString& selectedEntry, const QString& remotePath);

// A name that may be used as one piece of a local path: not empty, not "." or "..", and
// without "/" or "\", whatever the platform, nor control or format characters (NUL, TAB,
// ESC, DEL, bidi overrides such as U+202E, zero-width characters), line or paragraph
// separators or half a surrogate pair: what a terminal or a file manager would show as
// something else than it is.
bool isSafeLocalName(const QString& name);

// What the save-location box names on disk.
enum class SaveTo { Other, Folder, File };

// The local file a download writes: `saveTo` (the save-location box) immediately followed
// by `name` when `saveTo` ends in a separator; `saveTo`, a native separator and `name`
// when `saveTo` names an existing folder without one; `name` in the folder of `saveTo`
// when `saveTo` names an existing file (the box as "選択" leaves it after an upload's
// choice); otherwise the two texts joined as they are.
QString downloadTarget(const QString& saveTo, const QString& name, SaveTo kind);

} // namespace transferrules
