// The dial-up window's saved credentials: loading them at load, saving them when the box
// "パスワードその他を保存" becomes checked, and clearing them.
#include "dialup/Credentials.h"
#include "dialup/frmRAS.h"

#include "platform/MessageBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

bool frmRAS::loadStep(const std::function<std::optional<QString>()>& step) {
    for (;;) {
        const std::optional<QString> failure = step();
        if (!failure)
            return true;
        const platform::MsgResult answer = platform::MsgBox(
            this, *failure + QStringLiteral("\r\nPswd.datファイル の読み込みに失敗しました"),
            platform::MsgButtons::RetryCancel, platform::MsgIcon::Stop, QStringLiteral("passの表示"));
        if (answer != platform::MsgResult::Retry)
            return false;
    }
}

void frmRAS::loadCredentials() {
    // Each file is read whole by its opening step; the later steps take its lines.
    credentials::ReadLines settings;
    qsizetype next = 0;
    const auto readLine = [&settings, &next](QString& target) {
        return [&settings, &next, &target]() -> std::optional<QString> {
            if (next >= settings.lines.size())
                return credentials::pastEndOfFile();
            target = settings.lines.at(next++);
            return std::nullopt;
        };
    };
    if (!loadStep([&settings] {
            settings = credentials::readLines(MyPath() + credentials::kSettingsFile);
            return settings.failure;
        }))
        return;
    if (!loadStep(readLine(SavedEntry)) || !loadStep(readLine(SavedUser)) || !loadStep(readLine(SaveFlag)))
        return;

    if (SaveFlag != credentials::kSavedFlag) {
        Combo1->setEditText(SavedEntry);
        Text1->setText(SavedUser);
        Text2->clear();
        Command5->setEnabled(false);
        Check1->setCheckState(Qt::Unchecked);
        return;
    }

    Combo1->setEditText(SavedEntry);
    Text1->setText(SavedUser);
    credentials::ReadLines password;
    SavedPassword.clear();
    if (!loadStep([&password] {
            password = credentials::readLines(MyPath() + credentials::kPasswordFile);
            return password.failure;
        }))
        return;
    for (qsizetype i = 0; i < password.lines.size(); ++i) {
        const QString& line = password.lines.at(i);
        const bool decoded = loadStep([this, &line, i]() -> std::optional<QString> {
            const std::optional<QString> character = credentials::decodePasswordLine(line);
            if (!character)
                return QStringLiteral("Pword.dat の %1 行目は文字を表していません。").arg(i + 1);
            SavedPassword += *character;
            return std::nullopt;
        });
        if (!decoded)
            return;
    }
    Text2->setText(SavedPassword);
    // The grayed state marks saved credentials (Check1_Click saves nothing for it).
    Check1->setCheckState(Qt::PartiallyChecked);
}

bool frmRAS::saveFile(const QString& name, const QByteArray& bytes) {
    const std::optional<QString> failure = credentials::writeWhole(MyPath() + name, bytes);
    if (!failure)
        return true;
    platform::MsgBox(this, *failure + QStringLiteral("\r\n") + name +
                               QStringLiteral("ファイル の保存に失敗しました"));
    return false;
}

void frmRAS::Check1_Click() {
    const QString password = Text2->text();
    if (credentials::isPlaceholderPassword(password)) {
        platform::MsgBox(this, QStringLiteral("パスワードが記入されていません (Ras_Check1)"));
        return;
    }
    if (Check1->checkState() != Qt::Checked)
        return;
    const QString entry = Combo1->currentText();
    const QString user = Text1->text();
    // A character the files cannot hold would come back as another one.
    if (!credentials::fitsCodePage(entry) || !credentials::fitsCodePage(user) ||
        !credentials::fitsCodePage(password)) {
        platform::MsgBox(this, QStringLiteral("エントリー名、ユーザー名またはパスワードに保存できない文字が"
                                              "含まれているため、保存しませんでした。"));
        Check1->setCheckState(Qt::Unchecked);
        return;
    }
    SaveFlag = credentials::kSavedFlag;
    if (!saveFile(credentials::kSettingsFile, credentials::settingsFileBytes(entry, user, SaveFlag))) {
        Check1->setCheckState(Qt::Unchecked); // the box does not claim a save that failed
        return;
    }
    PasswordWork = password;
    if (!saveFile(credentials::kPasswordFile, credentials::passwordFileBytes(PasswordWork)))
        Check1->setCheckState(Qt::Unchecked);
}

void frmRAS::Command5_Click() {
    SaveFlag = credentials::kClearedFlag;
    saveFile(credentials::kSettingsFile,
             credentials::settingsFileBytes(credentials::kPlaceholder, credentials::kPlaceholder, SaveFlag));
    Command5->setEnabled(false);
    Check1->setCheckState(Qt::Unchecked);
    Text1->clear();
    Text2->clear();
    Combo1->setEditText(QString());
    PasswordWork = credentials::kClearedPassword;
    saveFile(credentials::kPasswordFile, credentials::passwordFileBytes(PasswordWork));
}
