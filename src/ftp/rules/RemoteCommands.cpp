#include "ftp/rules/RemoteCommands.h"

#include "ftp/rules/LogFields.h"
#include "ftp/rules/TransferRules.h"

namespace remotecmd {

bool namesAFile(const QString& remotePath) {
    return transferrules::hasDot(remotePath);
}

QString mkdLine(const QString& parent, const QString& name) {
    return QStringLiteral("MKD ") + parent + u'/' + name;
}

ConsoleRow consoleRow(const QString& typed) {
    static const struct {
        QLatin1String keyword;
        ConsoleRow row;
    } rows[] = {{QLatin1String("SIZE"), ConsoleRow::Size}, {QLatin1String("HELP"), ConsoleRow::Help},
                {QLatin1String("PWD"), ConsoleRow::Pwd},   {QLatin1String("MKD"), ConsoleRow::Mkd},
                {QLatin1String("RMD"), ConsoleRow::Rmd},   {QLatin1String("CDUP"), ConsoleRow::Cdup}};
    for (const auto& entry : rows) {
        if (typed == entry.keyword)
            return entry.row;
    }
    return ConsoleRow::Other;
}

QString consoleLine(ConsoleRow row, const QString& typed, const QString& remotePath,
                    const QString& folderName) {
    switch (row) {
    case ConsoleRow::Size:
        return QStringLiteral("SIZE ") + remotePath;
    case ConsoleRow::Help:
        return QStringLiteral("HELP");
    case ConsoleRow::Pwd:
        return QStringLiteral("PWD");
    case ConsoleRow::Mkd:
        return mkdLine(remotePath, folderName);
    case ConsoleRow::Rmd:
        return QStringLiteral("RMD ") + remotePath;
    case ConsoleRow::Cdup:
        return QStringLiteral("CDUP");
    case ConsoleRow::Other:
        break;
    }
    return typed;
}

QString lastLogField(const QString& transcript, const QString& previous) {
    const QStringList fields = logfields::readFields(transcript, logfields::NumberSplit::Yes);
    return fields.isEmpty() ? previous : fields.constLast();
}

} // namespace remotecmd
