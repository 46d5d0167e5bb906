#include "platform/CertificateBox.h"

#include "platform/MessageBox.h"

#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>

namespace platform {

namespace {

// A certificate's names come from the server: no line break or control character of
// theirs may lay out the box's lines.
QString visible(QString text) {
    for (QChar& c : text) {
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            c = QChar::ReplacementCharacter;
    }
    return text;
}

QString problemText(CertificateProblem problem, const QString& otherDetail) {
    switch (problem) {
    case CertificateProblem::SelfSigned:
        return QStringLiteral("証明書はサーバー自身が署名したもので、信頼できる認証局の署名がありません。");
    case CertificateProblem::UntrustedIssuer:
        return QStringLiteral("証明書の発行者が不明か、信頼されていません。");
    case CertificateProblem::NameMismatch:
        return QStringLiteral("証明書は別のホスト名に対して発行されています。");
    case CertificateProblem::Expired:
        return QStringLiteral("証明書の有効期限が切れています。");
    case CertificateProblem::NotYetValid:
        return QStringLiteral("証明書はまだ有効になっていません。");
    case CertificateProblem::Revoked:
        return QStringLiteral("証明書は失効しています。");
    case CertificateProblem::Other:
        break;
    }
    return otherDetail.isEmpty() ? QStringLiteral("証明書を確認できません。")
                                 : QStringLiteral("証明書を確認できません（%1）。").arg(visible(otherDetail));
}

QString serverText(const QString& host, quint16 port) {
    return (host.contains(u':') ? u'[' + host + u']' : host) + u':' + QString::number(port);
}

// A warning box with "接続する" and "接続しない", the latter the default and Esc's.
struct ConnectBox {
    QMessageBox box;
    QPushButton* connect;
    ConnectBox(QWidget* parent, const QString& name, const QString& text) : box(parent) {
        box.setObjectName(name);
        box.setWindowTitle(kAppTitle);
        box.setIcon(QMessageBox::Warning);
        box.setTextFormat(Qt::PlainText);
        box.setText(text);
        connect = box.addButton(QStringLiteral("接続する"), QMessageBox::AcceptRole);
        connect->setObjectName(QStringLiteral("connectButton"));
        QPushButton* refuse = box.addButton(QStringLiteral("接続しない"), QMessageBox::RejectRole);
        refuse->setObjectName(QStringLiteral("refuseButton"));
        // Enter must not connect to a server the user has not looked at.
        box.setDefaultButton(refuse);
        box.setEscapeButton(refuse);
    }
    bool accepted() {
        box.exec();
        return box.clickedButton() == connect;
    }
};

QString dateText(const QDateTime& when) {
    return when.isValid() ? when.toUTC().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss 'UTC'"))
                          : QStringLiteral("不明");
}

} // namespace

QString certificateQuestionText(const CertificateQuestion& question) {
    QStringList lines;
    lines.append(QStringLiteral("サーバー %1 の証明書を信頼できません。")
                     .arg(serverText(question.host, question.port)));
    if (question.changed)
        lines.append(QStringLiteral("このサーバーの証明書が、以前に信頼したものから変わっています。"));
    for (const CertificateProblem problem : question.problems)
        lines.append(problemText(problem, question.otherDetail));
    if (question.problems.isEmpty() && !question.changed)
        lines.append(problemText(CertificateProblem::Other, question.otherDetail));
    lines.append(QStringLiteral("パスワードはまだ送っていません。接続しますか？"));
    return lines.join(u'\n');
}

QString certificateDetailsText(const CertificateQuestion& question) {
    return QStringLiteral("発行先: %1\n発行者: %2\n有効期間: %3 ～ %4\nSHA-256: %5")
        .arg(visible(question.subject), visible(question.issuer), dateText(question.validFrom),
             dateText(question.validUntil), question.sha256);
}

CertificateAnswer askAboutCertificate(QWidget* parent, const CertificateQuestion& question) {
    // One plain text: an informative text would be read as rich text when it looks like it.
    ConnectBox ask(parent, QStringLiteral("CertificateBox"),
                   certificateQuestionText(question) + QStringLiteral("\n\n") +
                       certificateDetailsText(question));
    auto* trust = new QCheckBox(QStringLiteral("この証明書を今後も信頼する"), &ask.box);
    trust->setObjectName(QStringLiteral("trustCheck"));
    ask.box.setCheckBox(trust);
    const bool accepted = ask.accepted();
    return {accepted, accepted && trust->isChecked()};
}

QString clearTextQuestionText(const ClearTextQuestion& question) {
    return QStringLiteral("サーバー %1 は暗号化（TLS）に応じませんでした。\nサーバーの応答: %2\n\n"
                          "このまま接続すると、ユーザー名とパスワード、送受信するファイルが暗号化されずに"
                          "ネットワークを流れ、途中で盗み見られるおそれがあります。\n"
                          "パスワードはまだ送っていません。暗号化せずに接続しますか？")
        .arg(serverText(question.host, question.port), visible(question.serverReply));
}

bool askAboutClearText(QWidget* parent, const ClearTextQuestion& question) {
    ConnectBox ask(parent, QStringLiteral("ClearTextBox"), clearTextQuestionText(question));
    return ask.accepted();
}

} // namespace platform
