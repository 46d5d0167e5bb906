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

QString problemText(ftp::CertificateProblem problem, const QString& otherDetail) {
    switch (problem) {
    case ftp::CertificateProblem::SelfSigned:
        return QStringLiteral("証明書はサーバー自身が署名したもので、信頼できる認証局の署名がありません。");
    case ftp::CertificateProblem::UntrustedIssuer:
        return QStringLiteral("証明書の発行者が不明か、信頼されていません。");
    case ftp::CertificateProblem::NameMismatch:
        return QStringLiteral("証明書は別のホスト名に対して発行されています。");
    case ftp::CertificateProblem::Expired:
        return QStringLiteral("証明書の有効期限が切れています。");
    case ftp::CertificateProblem::NotYetValid:
        return QStringLiteral("証明書はまだ有効になっていません。");
    case ftp::CertificateProblem::Revoked:
        return QStringLiteral("証明書は失効しています。");
    case ftp::CertificateProblem::Other:
        break;
    }
    return otherDetail.isEmpty() ? QStringLiteral("証明書を確認できません。")
                                 : QStringLiteral("証明書を確認できません（%1）。").arg(visible(otherDetail));
}

QString serverText(const ftp::CertificateQuestion& question) {
    const QString host = question.host.contains(u':') ? u'[' + question.host + u']' : question.host;
    return host + u':' + QString::number(question.port);
}

QString dateText(const QDateTime& when) {
    return when.isValid() ? when.toUTC().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss 'UTC'"))
                          : QStringLiteral("不明");
}

} // namespace

QString certificateQuestionText(const ftp::CertificateQuestion& question) {
    QStringList lines;
    lines.append(QStringLiteral("サーバー %1 の証明書を信頼できません。").arg(serverText(question)));
    if (question.changed)
        lines.append(QStringLiteral("このサーバーの証明書が、以前に信頼したものから変わっています。"));
    for (const ftp::CertificateProblem problem : question.problems)
        lines.append(problemText(problem, question.otherDetail));
    if (question.problems.isEmpty() && !question.changed)
        lines.append(problemText(ftp::CertificateProblem::Other, question.otherDetail));
    lines.append(QStringLiteral("パスワードはまだ送っていません。接続しますか？"));
    return lines.join(u'\n');
}

QString certificateDetailsText(const ftp::CertificateQuestion& question) {
    return QStringLiteral("発行先: %1\n発行者: %2\n有効期間: %3 ～ %4\nSHA-256: %5")
        .arg(visible(question.subject), visible(question.issuer), dateText(question.validFrom),
             dateText(question.validUntil), question.sha256);
}

ftp::CertificateAnswer askAboutCertificate(QWidget* parent, const ftp::CertificateQuestion& question) {
    QMessageBox box(parent);
    box.setObjectName(QStringLiteral("CertificateBox"));
    box.setWindowTitle(kAppTitle);
    box.setIcon(QMessageBox::Warning);
    box.setTextFormat(Qt::PlainText);
    // One plain text: an informative text would be read as rich text when it looks like it.
    box.setText(certificateQuestionText(question) + QStringLiteral("\n\n") +
                certificateDetailsText(question));
    QPushButton* connect = box.addButton(QStringLiteral("接続する"), QMessageBox::AcceptRole);
    connect->setObjectName(QStringLiteral("connectButton"));
    QPushButton* refuse = box.addButton(QStringLiteral("接続しない"), QMessageBox::RejectRole);
    refuse->setObjectName(QStringLiteral("refuseButton"));
    // Enter must not connect to a server the user has not looked at.
    box.setDefaultButton(refuse);
    box.setEscapeButton(refuse);
    auto* trust = new QCheckBox(QStringLiteral("この証明書を今後も信頼する"), &box);
    trust->setObjectName(QStringLiteral("trustCheck"));
    box.setCheckBox(trust);
    box.exec();
    const bool accepted = box.clickedButton() == connect;
    return {accepted, accepted && trust->isChecked()};
}

} // namespace platform
