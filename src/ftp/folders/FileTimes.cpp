#include "ftp/folders/FileTimes.h"

#include <QRegularExpression>

#include <algorithm>

namespace ftp::folders {

namespace {

int monthOf(const QString& text) {
    static const char* const months[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                         "jul", "aug", "sep", "oct", "nov", "dec"};
    if (text.endsWith(u'月'))
        return text.chopped(1).toInt();
    const auto at = std::find_if(std::begin(months), std::end(months), [&](const char* m) {
        return text.compare(QLatin1String(m), Qt::CaseInsensitive) == 0;
    });
    return at == std::end(months) ? 0 : int(at - std::begin(months)) + 1;
}

int numberOf(QString text, QChar suffix) {
    if (text.endsWith(suffix))
        text.chop(1);
    bool ok = false;
    const int n = text.toInt(&ok);
    return ok ? n : -1;
}

FileTime made(QDate date, QTime time, TimePrecision precision) {
    if (!date.isValid() || !time.isValid())
        return {};
    return {QDateTime(date, time, Qt::UTC), precision};
}

// "Jan  5 12:34", "Jan  5  2019" and their Japanese forms.
FileTime unixTime(const QStringList& parts, const QDateTime& nowUtc) {
    const int month = monthOf(parts.at(0));
    const int day = numberOf(parts.at(1), u'日');
    const QString last = parts.at(2);
    if (month < 1 || month > 12 || day < 1)
        return {};
    if (!last.contains(u':'))
        return made(QDate(numberOf(last, u'年'), month, day), QTime(0, 0), TimePrecision::Day);
    const QTime time =
        QTime::fromString(last, last.size() > 5 ? QStringLiteral("H:mm:ss") : QStringLiteral("H:mm"));
    // ls shows the time instead of the year for the last six months: the year is the
    // latest that does not put the date in the future (a day's grace for time zones).
    int year = nowUtc.date().year();
    if (QDateTime(QDate(year, month, day), time, Qt::UTC) > nowUtc.addDays(1))
        --year;
    return made(QDate(year, month, day), time,
                last.size() > 5 ? TimePrecision::Second : TimePrecision::Minute);
}

// "01-05-19  12:34PM" (IIS) or "01-05-2019  12:34".
FileTime dosTime(const QRegularExpressionMatch& m) {
    int year = m.captured(3).toInt();
    if (m.captured(3).size() == 2)
        year += year < 70 ? 2000 : 1900;
    int hour = m.captured(4).toInt();
    const QString meridiem = m.captured(6).toUpper();
    if (meridiem == u"PM" && hour < 12)
        hour += 12;
    else if (meridiem == u"AM" && hour == 12)
        hour = 0;
    return made(QDate(year, m.captured(1).toInt(), m.captured(2).toInt()), QTime(hour, m.captured(5).toInt()),
                TimePrecision::Minute);
}

QDateTime truncated(const QDateTime& utc, TimePrecision precision) {
    switch (precision) {
    case TimePrecision::Day:
        return QDateTime(utc.date(), QTime(0, 0), Qt::UTC);
    case TimePrecision::Minute:
        return QDateTime(utc.date(), QTime(utc.time().hour(), utc.time().minute()), Qt::UTC);
    default:
        return QDateTime(utc.date(), QTime(utc.time().hour(), utc.time().minute(), utc.time().second()),
                         Qt::UTC);
    }
}

} // namespace

FileTime machineTime(const QString& stamp) {
    const QString whole = stamp.trimmed().section(u'.', 0, 0);
    if (whole.size() != 14)
        return {};
    return made(QDate::fromString(whole.left(8), QStringLiteral("yyyyMMdd")),
                QTime::fromString(whole.mid(8), QStringLiteral("HHmmss")), TimePrecision::Second);
}

FileTime listedTime(const QString& columns, const QDateTime& nowUtc) {
    static const QRegularExpression dos(
        QStringLiteral("^(\\d{1,2})-(\\d{1,2})-(\\d{2}|\\d{4})\\s+(\\d{1,2}):(\\d{2})\\s*([AaPp][Mm])?$"));
    static const QRegularExpression iso(QStringLiteral("^(\\d{4}-\\d{2}-\\d{2})\\s+(\\d{1,2}:\\d{2})$"));
    const QString text = columns.simplified();
    if (const auto m = dos.match(text); m.hasMatch())
        return dosTime(m);
    if (const auto m = iso.match(text); m.hasMatch())
        return made(QDate::fromString(m.captured(1), Qt::ISODate),
                    QTime::fromString(m.captured(2), QStringLiteral("H:mm")), TimePrecision::Minute);
    const QStringList parts = text.split(u' ');
    return parts.size() == 3 ? unixTime(parts, nowUtc) : FileTime{};
}

FileTime localTime(const QDateTime& modified) {
    if (!modified.isValid())
        return {};
    return {modified.toUTC(), TimePrecision::Second};
}

std::optional<bool> sameTime(const FileTime& a, const FileTime& b) {
    if (!a.known() || !b.known())
        return std::nullopt;
    const TimePrecision coarser = std::min(a.precision, b.precision);
    return truncated(a.utc.toUTC(), coarser) == truncated(b.utc.toUTC(), coarser);
}

} // namespace ftp::folders
