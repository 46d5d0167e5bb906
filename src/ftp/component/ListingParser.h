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

namespace ftp {

enum class EntryKind {
    File,   // a plain file, a device, a pipe or anything else that is not a folder
    Folder, // a folder
    Link,   // a symbolic link whose target kind the listing does not tell
    Self,   // the listed folder itself or its parent (MLSD cdir/pdir)
};

struct ListEntry {
    QString name;
    EntryKind kind = EntryKind::File;
    friend bool operator==(const ListEntry&, const ListEntry&) = default;
};

enum class ListingFormat { List, Mlsd };

// One LIST line, Unix or DOS form; nullopt for a line of neither form ("total 12",
// banners, empty lines).
std::optional<ListEntry> parseListLine(const QString& line);
std::optional<ListEntry> parseUnixListLine(const QString& line);
std::optional<ListEntry> parseDosListLine(const QString& line);
// One MLSD line: "fact=value;...; name".
std::optional<ListEntry> parseMlsdLine(const QString& line);

// Takes a listing as it arrives over the data connection, splits it into lines (CR LF or
// LF), decodes each whole line and parses it.
class ListingParser {
public:
    using Decoder = std::function<QString(QByteArrayView)>;
    // Longest line kept; the rest of a longer line is dropped with it.
    static constexpr qsizetype kMaxLineLength = 64 * 1024;

    ListingParser(ListingFormat format, Decoder decoder);
    void feed(QByteArrayView bytes);
    // Parses a last line that has no line end.
    void finish();
    const QList<ListEntry>& entries() const { return entries_; }

private:
    ListingFormat format_;
    Decoder decoder_;
    QByteArray pending_;
    bool skipping_ = false; // inside an overlong line
    QList<ListEntry> entries_;

    void takeLine(QByteArrayView line);
};

} // namespace ftp
