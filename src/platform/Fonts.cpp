#include "platform/Fonts.h"

namespace platform {
QFont japaneseUiFont(int pointSize) {
    QFont font;
    font.setFamilies(QStringList{QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                                 QStringLiteral("IPAPGothic"), QStringLiteral("IPA Pゴシック"),
                                 QStringLiteral("Noto Sans CJK JP")});
    font.setPointSize(pointSize);
    return font;
}
} // namespace platform
