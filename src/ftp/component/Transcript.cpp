#include "ftp/component/Transcript.h"

#include "platform/Codepage.h"
#include "platform/FileModes.h"
#include "platform/NoFollowOpen.h"

#include <QDir>
#include <QFileInfo>

namespace ftp {

namespace {

constexpr QFileDevice::Permissions kOwnerOnlyFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

} // namespace

bool Transcript::open(const QString& path, Mode mode) {
    close();
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    if (!platform::makeOwnerOnlyFolders(info.absolutePath()))
        return false;
    if (info.isSymLink() || (mode == Mode::Replace && info.exists())) {
        // A fresh file rather than a truncated one, so that neither the old file's
        // permissions nor a link planted at the path decide where the transcript goes.
        if (!QFile::remove(path))
            return false;
    }
    auto file = std::make_unique<QFile>(path);
    const bool opened =
        mode == Mode::Replace
            ? file->open(QIODevice::WriteOnly | QIODevice::Unbuffered | QIODevice::NewOnly, kOwnerOnlyFile)
            : platform::openForAppendNoFollow(*file, path);
    if (!opened)
        return false;
    file_ = std::move(file);
    return true;
}

void Transcript::close() {
    flush();
    if (file_) {
        file_->close();
        file_.reset();
    }
    pending_.clear();
}

void Transcript::flush() {
    if (!file_ || pending_.isEmpty())
        return;
    const bool written = file_->write(pending_) == pending_.size() && file_->flush();
    pending_.clear();
    if (!written) {
        // A full disk or a removed medium: give the transcript up, keep the session.
        file_->close();
        file_.reset();
    }
}

namespace {

// The words of a command line as the masking sees them. Any blank ends a word, also one
// the server would not split at (an ideographic space typed with the input method on, a
// vertical tab): what follows "PASS" is meant as a password either way, and the log turns
// control characters into blanks.
QList<QStringView> leadingWords(const QString& line, int count) {
    const auto separates = [](QChar c) { return c.isSpace() || c.unicode() < 0x20; };
    QList<QStringView> words;
    qsizetype i = 0;
    while (words.size() < count) {
        while (i < line.size() && separates(line.at(i)))
            ++i;
        const qsizetype start = i;
        while (i < line.size() && !separates(line.at(i)))
            ++i;
        words.append(QStringView(line).mid(start, i - start));
    }
    return words;
}

bool sameWord(QStringView word, QLatin1String name) {
    return word.compare(name, Qt::CaseInsensitive) == 0;
}

} // namespace

QString Transcript::maskedCommand(const QString& line) {
    const QList<QStringView> words = leadingWords(line, 2);
    for (const QLatin1String verb : {QLatin1String("PASS"), QLatin1String("ACCT")}) {
        if (sameWord(words.at(0), verb))
            return verb + QLatin1String(" ****");
    }
    if (!sameWord(words.at(0), QLatin1String("SITE")))
        return line;
    // Password changes through SITE (wu-ftpd, Serv-U, glftpd and their kin).
    for (const QLatin1String verb :
         {QLatin1String("PSWD"), QLatin1String("PASSWD"), QLatin1String("CHPASS")}) {
        if (sameWord(words.at(1), verb))
            return QLatin1String("SITE ") + verb + QLatin1String(" ****");
    }
    return line;
}

QString Transcript::asOneField(const QString& line) {
    qsizetype first = 0;
    while (first < line.size() && (line.at(first) == u' ' || line.at(first) == u'\t'))
        ++first;
    const bool opensQuote = first < line.size() && line.at(first) == u'"';
    if (!opensQuote && !line.contains(u','))
        return line;
    // The field ends at the next double quote and knows no escape for one: U+FF02 stands
    // in for the server's, which CP932 carries.
    return u'"' + QString(line).replace(u'"', QChar(0xFF02)) + u'"';
}

void Transcript::command(const QString& line) {
    writeLine(maskedCommand(line));
}

void Transcript::reply(const QString& line) {
    writeLine(line);
}

void Transcript::reply(int code, const QStringList& lines) {
    const QString inner = QString::number(code) + u'-';
    const QString last = QString::number(code) + u' ';
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString& line = lines.at(i);
        const bool marked = i == 0 || line.startsWith(inner) || line.startsWith(last);
        writeLine(marked ? line : inner + line);
    }
}

void Transcript::note(const QString& text) {
    writeLine(QStringLiteral("# ") + text);
    flush(); // a note ends what the window reads back at once
}

void Transcript::writeLine(const QString& line) {
    if (!file_)
        return;
    QString text = line;
    for (QChar& c : text) {
        // One line per entry: a stray CR or NUL inside a reply must not start another.
        if (c.unicode() < 0x20 && c != u'\t')
            c = u' ';
    }
    pending_.append(codepage::toCp932(asOneField(text)));
    pending_.append("\r\n");
    if (pending_.size() >= kFlushBytes)
        flush();
}

} // namespace ftp
