#pragma once
// The session transcript: one line per command sent and per reply line received, in
// CP932, each written so that the log pane's field rule (commas and line ends end a
// field, a field opened by a double quote runs to the next one) reads it back as one
// line of its own. Lines are gathered in memory and written out by flush(), which the engine calls
// at the end of every call (the window reads the file only between calls), or when much
// has gathered. Passwords and account texts are never written. A transcript that cannot
// be written is given up silently: it never breaks the session.

#include <QFile>
#include <QString>
#include <QStringList>

#include <memory>

namespace ftp {

class Transcript {
public:
    enum class Mode { Replace, Append };

    Transcript() = default;
    Transcript(const Transcript&) = delete;
    Transcript& operator=(const Transcript&) = delete;
    ~Transcript() { close(); }

    // Starts a transcript at `path`: missing parent folders are created (owner-only),
    // the file is owner-only (0600); Replace removes an older file first; in both modes a
    // symbolic link at `path` is removed, never followed. False when the file cannot be
    // opened (the session then runs without a transcript).
    bool open(const QString& path, Mode mode);
    // Writes out what has gathered, then closes.
    void close();
    // Writes out what has gathered.
    void flush();
    bool isOpen() const { return file_ != nullptr; }

    // Writes a command line as sent, with the argument of PASS and ACCT masked.
    void command(const QString& line);
    // Writes a one-line reply as received.
    void reply(const QString& line);
    // Writes the lines of a reply with code `code`: the first as received, every later
    // one that does not begin with the code and a hyphen or a blank with "xyz-" in front,
    // so that no line inside a reply passes for a command, a reply of its own or a note.
    void reply(int code, const QStringList& lines);
    // Writes a note of the program's own: "# " and the text, which no reply line can begin with.
    void note(const QString& text);

    // The form in which a command line is written, and shown wherever the program quotes
    // one: "PASS ****" for any PASS command, "ACCT ****" for any ACCT command (RFC 959,
    // section 4.1.1: the account is a secret too), and "SITE PSWD ****" for the SITE
    // verbs that change a password (PSWD, PASSWD, CHPASS), whatever their arguments.
    static QString maskedCommand(const QString& line);
    // `line` as the field rule reads it back whole: in double quotes when it holds a comma
    // or begins with a double quote, a double quote inside then becoming "＂".
    static QString asOneField(const QString& line);

private:
    // Gathered lines are written out once they pass this size, also within a call.
    static constexpr qsizetype kFlushBytes = 64 * 1024;

    std::unique_ptr<QFile> file_;
    QByteArray pending_;
    void writeLine(const QString& line);
};

} // namespace ftp
