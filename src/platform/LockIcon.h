#pragma once
// A padlock drawn for the window's encrypted-session mark (no image file, no emoji font
// needed): a shackle over a body with a key hole, in the palette's text colour.

#include <QColor>
#include <QPixmap>

namespace platform {

QPixmap lockIcon(int size, qreal devicePixelRatio, const QColor& colour);

} // namespace platform
