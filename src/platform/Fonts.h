#pragma once

#include <QFont>
#include <QStringList>

namespace platform {
// The window face "ＭＳ Ｐゴシック" asked for by name, followed by the proportional
// Japanese Gothic faces that stand in for it where it is not installed.
QFont japaneseUiFont(int pointSize = 9);
} // namespace platform
