#include "ftp/component/PartFile.h"

#include "platform/FileModes.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QRandomGenerator>

#include <filesystem>

namespace ftp::partfile {

namespace {

constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

std::filesystem::path fsPath(const QString& path) {
    return std::filesystem::path(path.toStdU16String());
}

// The longest start of `name` whose encoded form fits in `budget` bytes, cut between
// characters (never inside a surrogate pair).
QString leadingPart(const QString& name, qsizetype budget) {
    qsizetype used = 0;
    qsizetype end = 0;
    while (end < name.size()) {
        const qsizetype step = name.at(end).isHighSurrogate() && end + 1 < name.size() ? 2 : 1;
        const qsizetype bytes = QFile::encodeName(name.mid(end, step)).size();
        if (used + bytes > budget)
            break;
        used += bytes;
        end += step;
    }
    return name.left(end);
}

} // namespace

QString nameFor(const QString& targetName, const QString& unique) {
    const QString suffix = u'.' + unique + QStringLiteral(".part");
    const qsizetype budget = kNameLimit - 1 - QFile::encodeName(suffix).size();
    if (QFile::encodeName(targetName).size() <= budget)
        return u'.' + targetName + suffix;
    // "~" and 16 hex digits of the whole name's hash keep shortened names apart.
    const QString mark = u'~' + QString::fromLatin1(QCryptographicHash::hash(QFile::encodeName(targetName),
                                                                             QCryptographicHash::Sha256)
                                                        .toHex()
                                                        .left(16));
    return u'.' + leadingPart(targetName, budget - mark.size()) + mark + suffix;
}

std::unique_ptr<QFile> create(const QString& target, QString& error) {
    const QFileInfo info(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString unique = QString::number(QRandomGenerator::global()->generate(), 36);
        auto file = std::make_unique<QFile>(info.absolutePath() + u'/' + nameFor(info.fileName(), unique));
        if (file->open(QIODevice::ReadWrite | QIODevice::NewOnly | QIODevice::Unbuffered, kOwnerOnly))
            return file;
        error = file->errorString();
        if (!file->exists())
            break; // not a name clash: trying again will not help
    }
    return nullptr;
}

std::unique_ptr<QFile> reopen(const QString& path, qint64 size, const platform::FileIdentity& identity,
                              QString& error) {
    auto file = std::make_unique<QFile>(path);
    if (!platform::reopenSameFile(*file, path, identity)) {
        error = QStringLiteral("the part file is not the one written before");
        return nullptr;
    }
    if (!file->resize(size) || !file->seek(size)) {
        error = file->errorString();
        return nullptr;
    }
    return file;
}

bool putInPlace(QFile& part, const QString& partPath, const QString& target, QString& error) {
    const std::optional<platform::FileIdentity> identity = platform::identityOf(int(part.handle()));
    // A replaced file keeps its permissions; a new one gets what any new file would. Set
    // through the open file, so that nothing put at its name since is changed.
    const QFileDevice::Permissions mode =
        QFileInfo::exists(target) ? QFile::permissions(target) : platform::newFilePermissions();
    if (!identity || !part.setPermissions(mode)) {
        error = part.errorString();
        return false;
    }
    part.close();
    if (part.error() != QFileDevice::NoError) {
        error = part.errorString();
        return false;
    }
    if (!platform::pathNamesFile(partPath, *identity)) {
        error = QStringLiteral("the part file \"%1\" was replaced").arg(partPath);
        return false;
    }
    std::error_code failure;
    std::filesystem::rename(fsPath(partPath), fsPath(target), failure);
    if (failure) {
        error = QString::fromStdString(failure.message());
        return false;
    }
    return true;
}

} // namespace ftp::partfile
