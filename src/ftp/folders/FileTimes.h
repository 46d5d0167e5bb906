#pragma once
// Modification times as servers and the local disk tell them, each with its precision: MLSD's
// modify fact and MDTM to the second in UTC (RFC 3659, sections 2.3 and 3), a LIST line's
// date to the minute or only to the day, a local file's time to the second. Two times are
// compared at the coarser of their precisions, in UTC.

#include <QDateTime>
#include <QString>

#include <optional>

namespace ftp::folders {

enum class TimePrecision { None, Day, Minute, Second };

struct FileTime {
    QDateTime utc;
    TimePrecision precision = TimePrecision::None;
    bool known() const { return precision != TimePrecision::None && utc.isValid(); }
};

// "YYYYMMDDHHMMSS" with optional ".fff" (MLSD's modify fact, MDTM's answer).
FileTime machineTime(const QString& stamp);
// The date columns of a LIST line: "Jan  5 12:34" (the year is the latest that is not after
// `nowUtc` by more than a day), "Jan  5  2019", "2019-01-05 12:34", "01-05-19  12:34PM", and
// the Japanese forms ("1月  5日 12:34", "2019年").
FileTime listedTime(const QString& columns, const QDateTime& nowUtc);
// A local file's time.
FileTime localTime(const QDateTime& modified);
// Whether the two are the same time at the coarser precision; nullopt when either is unknown.
std::optional<bool> sameTime(const FileTime& a, const FileTime& b);

} // namespace ftp::folders
