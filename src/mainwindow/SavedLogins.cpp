// "パスワードを保存": logins kept in the desktop's secret store, one per server text.
// Choosing or typing a server with a kept login fills the user and password boxes; a
// successful login keeps the login (box ticked) or removes the kept one (box clear).
#include "mainwindow/frmTesselFTP.h"

#include "platform/SecretStore.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTimer>

namespace {

// How long the typing in the server box must pause before its login is looked up.
constexpr int kLookupPauseMs = 300;

} // namespace

void frmTesselFTP::connectSavedLogins() {
    secretStore = new platform::SecretStore(this);
    loginLookup = new QTimer(this);
    loginLookup->setSingleShot(true);
    loginLookup->setInterval(kLookupPauseMs);
    connect(Combo1, &QComboBox::currentTextChanged, loginLookup, qOverload<>(&QTimer::start));
    connect(loginLookup, &QTimer::timeout, this, &frmTesselFTP::findStoredLogin);
    // A password the user types or picks is no longer the kept one.
    connect(Combo5->lineEdit(), &QLineEdit::textEdited, this, [this] { passwordFromStore = false; });
    connect(Combo5, &QComboBox::activated, this, [this] { passwordFromStore = false; });

    Check1->setEnabled(false);
    Check1->setToolTip(QStringLiteral("パスワードの保存先（デスクトップのキーリング）を確かめています。"));
    secretStore->probe([this](const platform::SecretStore::Answer& answer) {
        showSecretStoreState(answer.ok, answer.error);
        if (answer.ok)
            findStoredLogin();
    });
}

// The box is usable only while a secret store answers; its tooltip and description say
// what it does, or why it cannot.
void frmTesselFTP::showSecretStoreState(bool answered, const QString& error) {
    QString why;
    if (answered)
        why = QStringLiteral("ログインに成功したとき、このサーバーのユーザーIDとパスワードをデスクトップの"
                             "キーリングに保存します。外しておくと、保存してあるものを削除します。");
    else
        why = QStringLiteral("デスクトップのキーリング（Secret Service）が応答しないため、パスワードは"
                             "保存できません。\n%1")
                  .arg(error);
    Check1->setEnabled(answered);
    Check1->setToolTip(why);
    Check1->setAccessibleDescription(why);
}

void frmTesselFTP::findStoredLogin() {
    if (!Check1->isEnabled())
        return;
    const QString server = Combo1->currentText();
    secretStore->find(server, [this, server](const platform::SecretStore::Answer& answer) {
        if (!answer.ok || Combo1->currentText() != server) // the user has typed on since
            return;
        if (answer.login)
            fillStoredLogin(*answer.login);
        else
            forgetFilledLogin();
    });
}

void frmTesselFTP::fillStoredLogin(const platform::StoredLogin& login) {
    Combo2->setEditText(login.user);
    Combo5->setEditText(login.password); // masked: the box shows only bullets
    passwordFromStore = true;
    Check1->setChecked(true);
}

// A kept password belongs to its server: when the server text moves to one without a
// kept login, the password filled in for the other one goes.
void frmTesselFTP::forgetFilledLogin() {
    if (!passwordFromStore)
        return;
    Combo5->setEditText(QString());
    passwordFromStore = false;
    Check1->setChecked(false);
}

void frmTesselFTP::rememberLogin() {
    if (!Check1->isEnabled())
        return;
    const bool keep = Check1->isChecked();
    // A store that fails says so in the box's tooltip; the login itself has succeeded.
    const auto showOutcome = [this, keep](const platform::SecretStore::Answer& answer) {
        if (answer.ok) {
            showSecretStoreState(true, QString());
            return;
        }
        const QString why = keep ? QStringLiteral("パスワードを保存できませんでした。\n%1")
                                 : QStringLiteral("保存してあるパスワードを削除できませんでした。\n%1");
        Check1->setToolTip(why.arg(answer.error));
        Check1->setAccessibleDescription(why.arg(answer.error));
    };
    const QString server = Combo1->currentText();
    if (keep)
        secretStore->save(server, {Combo2->currentText(), Combo5->currentText()}, showOutcome);
    else
        secretStore->remove(server, showOutcome);
}
