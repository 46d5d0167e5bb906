#pragma once
// The session transcript: one line per command sent and per reply line received, in
// CP932, each line written through to the file at once so that the window can read the
// file while the session goes on. The password is never written. A transcript that
// cannot be written is given up silently: it never breaks the session.

#include <QFile>
#include <QString>

#include <memory>

namespace ftp {

class Transcript {
public:
    enum class Mode { Replace, Append };

    // Starts a transcript at `path`: missing parent folders are created (owner-only),
    // the file is owner-only (0600); Replace removes an older file first. False when the
    // file cannot be opened (the session then runs without a transcript).
    bool open(const QString& path, Mode mode);
    void close();
    bool isOpen() const { return file_ != nullptr; }

    // Writes a command line as sent, with the argument of PASS masked.
    void command(const QString& line);
    // Writes one reply line as received.
    void reply(const QString& line);
    // Writes a note of the program's own: "# " and the text, which no reply line can begin with.
    void note(const QString& text);

    // The form in which a command line is written: "PASS ****" for any PASS command.
    static QString maskedCommand(const QString& line);

private:
    std::unique_ptr<QFile> file_;
    void writeLine(const QString& line);
};

} // namespace ftp
