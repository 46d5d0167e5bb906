#include "ftp/component/Transcript.h"

#include "platform/Codepage.h"
#include "platform/NoFollowOpen.h"

#include <QDir>
#include <QFileInfo>

namespace ftp {

namespace {

constexpr QFileDevice::Permissions kOwnerOnlyFile = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
constexpr QFileDevice::Permissions kOwnerOnlyFolder =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

// Creates the missing folders of `folder`, each owner-only.
bool makeFolders(const QString& folder) {
    const QFileInfo info(folder);
    if (info.isDir())
        return true;
    if (info.exists())
        return false;
    const QString parent = info.absolutePath();
    if (parent != info.absoluteFilePath() && !makeFolders(parent))
        return false;
    return QDir().mkdir(info.absoluteFilePath(), kOwnerOnlyFolder) || QFileInfo(folder).isDir();
}

} // namespace

bool Transcript::open(const QString& path, Mode mode) {
    close();
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    if (!makeFolders(info.absolutePath()))
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

QString Transcript::maskedCommand(const QString& line) {
    // Any blank ends the verb, also one the server would not split at (an ideographic
    // space typed with the input method on, a vertical tab): what follows "PASS" is meant
    // as a password either way, and the log turns control characters into blanks.
    const auto separates = [](QChar c) { return c.isSpace() || c.unicode() < 0x20; };
    qsizetype start = 0;
    while (start < line.size() && separates(line.at(start)))
        ++start;
    qsizetype end = start;
    while (end < line.size() && !separates(line.at(end)))
        ++end;
    const QStringView verb = QStringView(line).mid(start, end - start);
    if (verb.compare(u"PASS", Qt::CaseInsensitive) == 0)
        return QStringLiteral("PASS ****");
    if (verb.compare(u"ACCT", Qt::CaseInsensitive) == 0)
        return QStringLiteral("ACCT ****");
    return line;
}

void Transcript::command(const QString& line) {
    writeLine(maskedCommand(line));
}

void Transcript::reply(const QString& line) {
    writeLine(line);
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
    pending_.append(codepage::toCp932(text));
    pending_.append("\r\n");
    if (pending_.size() >= kFlushBytes)
        flush();
}

} // namespace ftp
