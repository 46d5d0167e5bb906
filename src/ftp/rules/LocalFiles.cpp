#include "ftp/rules/LocalFiles.h"

#include <QDir>

#include <cmath>

namespace localfiles {

QString composePath(const QString& folder, const QString& name) {
    const QChar separator = QDir::separator();
    if (folder.endsWith(separator))
        return folder + name;
    return folder + separator + name;
}

QString formatSize(qint64 bytes) {
    const float value = static_cast<float>(bytes);
    const QString sign = value < 0 ? QStringLiteral("-") : QStringLiteral(" ");
    const double magnitude = std::abs(static_cast<double>(value));
    // Below 10 000 000 the single holds the length exactly (it is under 2^24): plain digits.
    if (magnitude < 1e7)
        return sign + QString::number(static_cast<qint64>(magnitude));
    // Seven significant digits in exponent form, trailing zeros of the mantissa dropped.
    const QString scientific = QString::number(magnitude, 'E', 6); // "1.234568E+07"
    const qsizetype e = scientific.indexOf(u'E');
    QString mantissa = scientific.left(e);
    while (mantissa.endsWith(u'0'))
        mantissa.chop(1);
    if (mantissa.endsWith(u'.'))
        mantissa.chop(1);
    return sign + mantissa + scientific.mid(e);
}

} // namespace localfiles
