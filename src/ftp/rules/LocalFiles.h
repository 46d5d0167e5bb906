#pragma once
// Text rules of the local pane: composing a local path and showing a file's size.

#include <QString>

namespace localfiles {

// The folder, one native separator unless it already ends in one, then the name. With an
// empty name the result is the folder ending in its separator ("/work/", "/").
QString composePath(const QString& folder, const QString& name);

// A file length as the size box shows it: the length as a single-precision number in the
// general format with a sign position (" 0", " 1234567", " 1.234568E+07"). Lengths of
// 2 GiB and more are shown the same way from their real value (" 3.221225E+09").
QString formatSize(qint64 bytes);

} // namespace localfiles
