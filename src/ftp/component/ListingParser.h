#pragma once
// Reading directory listings: LIST output in the Unix "ls -l" form or the DOS/IIS form,
// and MLSD entries (RFC 3659, section 7). Lines that fit neither form are skipped; a
// listing never fails to parse. Bytes may arrive cut anywhere.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <functional>
#include <optional>
#include <utility>

namespace ftp {

enum class EntryKind {
    File,   // a plain file, a device, a pipe or anything else that is not a folder
    Folder, // a folder
    Link,   // a symbolic link whose target kind the listing does not tell
    Self,   // the listed folder itself or its parent (MLSD cdir/pdir)
};

struct ListEntry {
    ListEntry() = default;
    ListEntry(QString entryName, EntryKind entryKind) : name(std::move(entryName)), kind(entryKind) {}

    QString name;
    EntryKind kind = EntryKind::File;
    // What the listing tells beside the name, where it does: a plain file's size in bytes,
    // its time as MLSD gives it (RFC 3659, section 7.5.3, the form MDTM answers in), and
    // where a link points ("name -> target" in LIST).
    std::optional<qint64> size;
    QString modified;
    QString target;
    // The date and time columns of a LIST line as the server wrote them ("Jan  5 12:34",
    // "Jan  5  2019", "12-07-26  08:13PM"), and MLSD's unique fact (RFC 3659, section
    // 7.5.2), which names the file or folder whatever path it is reached through.
    QString listedTime;
    QString unique;
    // An entry is its name and kind; the facts ride along.
    friend bool operator==(const ListEntry& a, const ListEntry& b) {
        return a.name == b.name && a.kind == b.kind;
    }
};

enum class ListingFormat { List, Mlsd };

// One LIST line, Unix or DOS form; nullopt for a line of neither form ("total 12",
// banners, empty lines).
std::optional<ListEntry> parseListLine(const QString& line);
std::optional<ListEntry> parseUnixListLine(const QString& line);
std::optional<ListEntry> parseDosListLine(const QString& line);
// One MLSD line: "fact=value;...; name".
std::optional<ListEntry> parseMlsdLine(const QString& line);

// The most a listing may bring: beyond either bound it is given up.
struct ListingLimits {
    qsizetype entries = 2'000'000;
    qint64 bytes = 512LL * 1024 * 1024;
};

// Takes a listing as it arrives over the data connection, splits it into lines (CR LF or
// LF), decodes each whole line and parses it.
class ListingParser {
public:
    using Decoder = std::function<QString(QByteArrayView)>;
    // Longest line kept; the rest of a longer line is dropped with it.
    static constexpr qsizetype kMaxLineLength = 64 * 1024;

    static constexpr qsizetype kMaxEntries = ListingLimits().entries;
    static constexpr qint64 kMaxBytes = ListingLimits().bytes;
    using Limits = ListingLimits;

    ListingParser(ListingFormat format, Decoder decoder, Limits limits = {});
    // False, taking nothing more, once the listing has gone past a bound.
    bool feed(QByteArrayView bytes);
    // Parses a last line that has no line end.
    void finish();
    const QList<ListEntry>& entries() const { return entries_; }
    bool exceeded() const { return exceeded_; }

private:
    ListingFormat format_;
    Decoder decoder_;
    Limits limits_;
    QByteArray pending_;
    bool skipping_ = false; // inside an overlong line
    bool exceeded_ = false;
    qint64 bytesFed_ = 0;
    QList<ListEntry> entries_;

    void takeLine(QByteArrayView line);
};

} // namespace ftp
