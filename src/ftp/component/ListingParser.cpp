#include "ftp/component/ListingParser.h"

#include <array>

namespace ftp {

namespace {

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

struct Token {
    qsizetype start;
    qsizetype end; // one past the last character
};

// The blank-separated tokens of the first fields of a line, kept in place: a listing
// tokenizes every one of its lines, so no allocation per line.
struct Tokens {
    static constexpr qsizetype kMax = 12;
    std::array<Token, kMax> items;
    qsizetype count = 0;
    qsizetype size() const { return count; }
    const Token& operator[](qsizetype i) const { return items[size_t(i)]; }
    void append(Token token) { items[size_t(count++)] = token; }
};

// The blank-separated tokens of the first Tokens::kMax fields of `line`.
Tokens tokenize(QStringView line) {
    Tokens tokens;
    qsizetype i = 0;
    const qsizetype n = line.size();
    while (i < n && tokens.size() < Tokens::kMax) {
        while (i < n && isBlank(line[i]))
            ++i;
        if (i >= n)
            break;
        const qsizetype start = i;
        while (i < n && !isBlank(line[i]))
            ++i;
        tokens.append({start, i});
    }
    return tokens;
}

bool allDigits(QStringView s) {
    if (s.isEmpty())
        return false;
    for (const QChar c : s) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

// "drwxr-xr-x", "-rw-r--r--+", "lrwxrwxrwx", "crw-rw-rw-", ... (looked at for every line
// of a listing: plain comparisons, no searches)
bool isUnixMode(QStringView s) {
    if (s.size() < 10 || s.size() > 11)
        return false;
    switch (s[0].unicode()) {
    case u'-':
    case u'd':
    case u'l':
    case u'b':
    case u'c':
    case u'p':
    case u's':
    case u'D':
    case u'n':
        break;
    default:
        return false;
    }
    for (int i = 1; i < 10; ++i) {
        switch (s[i].unicode()) {
        case u'r':
        case u'w':
        case u'x':
        case u's':
        case u'S':
        case u't':
        case u'T':
        case u'l':
        case u'L':
        case u'-':
            break;
        default:
            return false;
        }
    }
    return s.size() == 10 || s[10] == u'+' || s[10] == u'@' || s[10] == u'.';
}

bool isMonth(QStringView s) {
    static const char16_t* const months[] = {u"jan", u"feb", u"mar", u"apr", u"may", u"jun",
                                             u"jul", u"aug", u"sep", u"oct", u"nov", u"dec"};
    if (s.size() == 3 && !s.endsWith(u'月')) {
        for (const char16_t* m : months) {
            if (s.compare(QStringView(m), Qt::CaseInsensitive) == 0)
                return true;
        }
        return false;
    }
    // Servers running in a Japanese locale write "12月".
    if ((s.size() == 2 || s.size() == 3) && s.endsWith(u'月') && allDigits(s.chopped(1))) {
        const int m = s.chopped(1).toInt();
        return m >= 1 && m <= 12;
    }
    return false;
}

bool isDay(QStringView s) {
    if (s.endsWith(u'日'))
        s.chop(1);
    if (s.size() > 2 || !allDigits(s))
        return false;
    const int d = s.toInt();
    return d >= 1 && d <= 31;
}

// "20:13", "8:05", "20:13:37" or a year "2019" (also "2019年").
bool isTimeOrYear(QStringView s) {
    if (s.endsWith(u'年'))
        s.chop(1);
    if (s.size() == 4 && allDigits(s))
        return true;
    const qsizetype colon = s.indexOf(u':');
    if (colon < 1 || colon > 2)
        return false;
    const QStringView rest = s.mid(colon + 1);
    return allDigits(s.left(colon)) &&
           ((rest.size() == 2 && allDigits(rest)) ||
            (rest.size() == 5 && allDigits(rest.left(2)) && rest[2] == u':' && allDigits(rest.mid(3))));
}

bool isIsoDate(QStringView s) {
    return s.size() == 10 && allDigits(s.left(4)) && s[4] == u'-' && allDigits(s.mid(5, 2)) && s[7] == u'-' &&
           allDigits(s.mid(8, 2));
}

bool isSizeLike(QStringView s) {
    return allDigits(s) || (s.size() > 1 && s.endsWith(u',') && allDigits(s.chopped(1)));
}

// A cursor over a DOS listing line; each step either takes what it expects and moves
// on, or leaves the cursor where it was.
struct DosScanner {
    QStringView line;
    qsizetype at = 0;

    bool isDigitAt(qsizetype i) const { return i < line.size() && line[i] >= u'0' && line[i] <= u'9'; }
    // A run of min..max digits (max < 0: no upper bound); the run's length, or 0.
    qsizetype digits(qsizetype min, qsizetype max) {
        qsizetype n = 0;
        while (isDigitAt(at + n) && (max < 0 || n < max))
            ++n;
        if (n < min || isDigitAt(at + n))
            return 0;
        at += n;
        return n;
    }
    // Two or four digits.
    bool yearDigits() {
        qsizetype n = 0;
        while (isDigitAt(at + n) && n < 5)
            ++n;
        if (n != 2 && n != 4)
            return false;
        at += n;
        return true;
    }
    bool take(QChar c) {
        if (at >= line.size() || line[at] != c)
            return false;
        ++at;
        return true;
    }
    qsizetype blanks() {
        const qsizetype from = at;
        while (at < line.size() && isBlank(line[at]))
            ++at;
        return at - from;
    }
    bool meridiem() {
        if (at + 1 >= line.size() || !QStringView(u"AaPp").contains(line[at]) ||
            (line[at + 1] != u'M' && line[at + 1] != u'm'))
            return false;
        at += 2;
        return true;
    }
    bool takeDirMark() {
        if (line.mid(at, 5).compare(u"<DIR>", Qt::CaseInsensitive) != 0)
            return false;
        at += 5;
        return true;
    }
};

// A size field of digits only; nullopt for anything else.
std::optional<qint64> byteCount(QStringView field) {
    bool ok = false;
    const qint64 n = field.toLongLong(&ok);
    if (!ok || n < 0 || !allDigits(field))
        return std::nullopt;
    return n;
}

} // namespace

std::optional<ListEntry> parseUnixListLine(const QString& line) {
    // Enough fields for mode, links, owner, group, size (or major, minor), date; the
    // name is taken from the line itself, never from tokens, so its blanks survive.
    const Tokens tokens = tokenize(line);
    if (tokens.size() < 5)
        return std::nullopt;
    const QStringView view(line);
    auto tok = [&](qsizetype i) { return view.mid(tokens[i].start, tokens[i].end - tokens[i].start); };
    const QStringView mode = tok(0);
    if (!isUnixMode(mode))
        return std::nullopt;

    qsizetype nameStart = -1;
    qsizetype dateStart = -1;
    QStringView sizeField;
    for (qsizetype i = 2; i < tokens.size() && nameStart < 0; ++i) {
        if (!isSizeLike(tok(i - 1)))
            continue;
        sizeField = tok(i - 1);
        if (i + 2 < tokens.size() && isMonth(tok(i)) && isDay(tok(i + 1)) && isTimeOrYear(tok(i + 2)))
            nameStart = tokens[i + 2].end + 1;
        else if (i + 1 < tokens.size() && isIsoDate(tok(i)) && isTimeOrYear(tok(i + 1)))
            nameStart = tokens[i + 1].end + 1;
        if (nameStart >= 0)
            dateStart = tokens[i].start;
    }
    if (nameStart < 0 || nameStart >= line.size())
        return std::nullopt;

    ListEntry entry;
    entry.name = line.mid(nameStart);
    entry.listedTime = line.mid(dateStart, nameStart - 1 - dateStart);
    switch (mode[0].unicode()) {
    case u'd':
        entry.kind = EntryKind::Folder;
        break;
    case u'l': {
        entry.kind = EntryKind::Link;
        const qsizetype arrow = entry.name.indexOf(QLatin1String(" -> "));
        if (arrow > 0) {
            entry.target = entry.name.mid(arrow + 4);
            entry.name.truncate(arrow);
        }
        break;
    }
    default:
        entry.kind = EntryKind::File;
        // Only a regular file's size field is its length in bytes (a device shows
        // "major, minor" there).
        if (mode[0] == u'-')
            entry.size = byteCount(sizeField);
        break;
    }
    if (entry.name.isEmpty())
        return std::nullopt;
    return entry;
}

std::optional<ListEntry> parseDosListLine(const QString& line) {
    // "12-07-26  08:13PM       <DIR>          dir with space"
    // "12-07-26  08:13PM                   12 readme.txt"
    // Read left to right, every character looked at once or twice: a line from the server
    // may hold any run of blanks.
    DosScanner scan{line};
    const bool dated = scan.digits(1, 2) && scan.take(u'-') && scan.digits(1, 2) && scan.take(u'-') &&
                       scan.yearDigits() && scan.blanks() > 0 && scan.digits(1, 2) && scan.take(u':') &&
                       scan.digits(2, 2);
    if (!dated)
        return std::nullopt;
    const qsizetype blanksBeforeMeridiem = scan.blanks();
    const bool meridiem = scan.meridiem();
    if ((meridiem || blanksBeforeMeridiem == 0) && scan.blanks() == 0)
        return std::nullopt;
    const bool folder = scan.takeDirMark();
    const qsizetype sizeStart = scan.at;
    if (!folder && scan.digits(1, -1) == 0)
        return std::nullopt;
    const qsizetype fieldEnd = scan.at;

    qsizetype blanks = 0;
    while (fieldEnd + blanks < line.size() && line.at(fieldEnd + blanks) == u' ')
        ++blanks;
    if (blanks == 0 || fieldEnd + blanks >= line.size())
        return std::nullopt;
    ListEntry entry;
    entry.listedTime = line.left(sizeStart).trimmed();
    if (entry.listedTime.endsWith(QLatin1String("<DIR>"), Qt::CaseInsensitive))
        entry.listedTime = entry.listedTime.chopped(5).trimmed();
    if (folder) {
        // IIS puts ten blanks after <DIR>; more belong to the name.
        entry.kind = EntryKind::Folder;
        entry.name = line.mid(fieldEnd + (blanks >= 10 ? 10 : blanks));
    } else {
        // One blank after the size; any further ones belong to the name.
        entry.kind = EntryKind::File;
        entry.name = line.mid(fieldEnd + 1);
        entry.size = byteCount(QStringView(line).mid(sizeStart, fieldEnd - sizeStart));
    }
    if (entry.name.isEmpty())
        return std::nullopt;
    return entry;
}

std::optional<ListEntry> parseListLine(const QString& line) {
    if (line.isEmpty())
        return std::nullopt;
    if (const QChar first = line.at(0); first >= u'0' && first <= u'9')
        return parseDosListLine(line);
    return parseUnixListLine(line);
}

std::optional<ListEntry> parseMlsdLine(const QString& line) {
    // RFC 3659, section 7.2: entry = [facts] SP pathname, facts = 1*(fact ";").
    const qsizetype space = line.indexOf(u' ');
    if (space < 0 || space + 1 >= line.size())
        return std::nullopt;
    const QStringView facts = QStringView(line).left(space);
    if (!facts.isEmpty() && !facts.endsWith(u';'))
        return std::nullopt;
    ListEntry entry;
    entry.name = line.mid(space + 1);
    entry.kind = EntryKind::File;
    for (const QStringView fact : facts.split(u';', Qt::SkipEmptyParts)) {
        const qsizetype eq = fact.indexOf(u'=');
        if (eq <= 0)
            return std::nullopt;
        const QStringView factName = fact.left(eq);
        if (factName.compare(u"size", Qt::CaseInsensitive) == 0)
            entry.size = byteCount(fact.mid(eq + 1));
        else if (factName.compare(u"modify", Qt::CaseInsensitive) == 0)
            entry.modified = fact.mid(eq + 1).toString();
        else if (factName.compare(u"unique", Qt::CaseInsensitive) == 0)
            entry.unique = fact.mid(eq + 1).toString();
        if (factName.compare(u"type", Qt::CaseInsensitive) != 0)
            continue;
        const QStringView type = fact.mid(eq + 1);
        if (type.compare(u"dir", Qt::CaseInsensitive) == 0)
            entry.kind = EntryKind::Folder;
        else if (type.compare(u"cdir", Qt::CaseInsensitive) == 0 ||
                 type.compare(u"pdir", Qt::CaseInsensitive) == 0)
            entry.kind = EntryKind::Self;
        else if (type.compare(u"OS.unix=symlink", Qt::CaseInsensitive) == 0 ||
                 type.startsWith(u"OS.unix=slink", Qt::CaseInsensitive))
            entry.kind = EntryKind::Link;
        else
            entry.kind = EntryKind::File;
    }
    if (entry.kind != EntryKind::File)
        entry.size.reset();
    return entry;
}

ListingParser::ListingParser(ListingFormat format, Decoder decoder, Limits limits)
    : format_(format), decoder_(std::move(decoder)), limits_(limits) {}

bool ListingParser::feed(QByteArrayView bytes) {
    bytesFed_ += bytes.size();
    if (bytesFed_ > limits_.bytes)
        exceeded_ = true;
    while (!exceeded_ && !bytes.isEmpty()) {
        const qsizetype end = bytes.indexOf('\n');
        const QByteArrayView part = end < 0 ? bytes : bytes.first(end);
        if (!skipping_) {
            if (pending_.size() + part.size() > kMaxLineLength) {
                skipping_ = true;
                pending_.clear();
            } else if (end >= 0 && pending_.isEmpty()) {
                takeLine(part); // the common case: a whole line inside one chunk
            } else {
                pending_.append(part);
                if (end >= 0) {
                    takeLine(pending_);
                    pending_.clear();
                }
            }
        }
        if (end < 0)
            break;
        skipping_ = false;
        bytes = bytes.sliced(end + 1);
    }
    return !exceeded_;
}

void ListingParser::finish() {
    if (!exceeded_ && !skipping_ && !pending_.isEmpty())
        takeLine(pending_);
    pending_.clear();
    skipping_ = false;
}

void ListingParser::takeLine(QByteArrayView line) {
    if (line.endsWith('\r'))
        line.chop(1);
    if (line.isEmpty())
        return;
    const QString text = decoder_(line);
    const auto entry = format_ == ListingFormat::Mlsd ? parseMlsdLine(text) : parseListLine(text);
    if (!entry)
        return;
    if (entries_.size() >= limits_.entries)
        exceeded_ = true;
    else
        entries_.append(std::move(*entry));
}

} // namespace ftp
