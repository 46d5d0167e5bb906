#include "platform/HostKeyBox.h"

#include "platform/MessageBox.h"

#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>

namespace platform {

QString hostKeyText(const platform::HostKeyQuestion& question) {
    const QString host = question.host.contains(u':') ? u'[' + question.host + u']' : question.host;
    const QString server = host + u':' + QString::number(question.port);
    const QString key = QStringLiteral("鍵の種類: %1\n指紋: %2").arg(question.keyType, question.sha256);
    if (question.changed)
        return QStringLiteral(
                   "サーバー %1 の鍵が、~/.ssh/known_hosts に記録された鍵から変わっています。\n"
                   "第三者が通信を乗っ取ろうとしている（攻撃の）可能性があります。接続しませんでした"
                   "（パスワードは送っていません）。\n\n%2\n\n"
                   "サーバーの鍵が正しく変わったことを確かめたうえで、known_hosts "
                   "の古い行を削除してください。")
            .arg(server, key);
    return QStringLiteral(
               "サーバー %1 の鍵は、まだ信頼されていません（~/.ssh/known_hosts にありません）。\n\n%2\n\n"
               "パスワードはまだ送っていません。接続しますか？")
        .arg(server, key);
}

platform::HostKeyAnswer askAboutHostKey(QWidget* parent, const platform::HostKeyQuestion& question) {
    QMessageBox box(parent);
    box.setObjectName(QStringLiteral("HostKeyBox"));
    box.setWindowTitle(kAppTitle);
    box.setIcon(question.changed ? QMessageBox::Critical : QMessageBox::Warning);
    box.setTextFormat(Qt::PlainText);
    box.setText(hostKeyText(question));
    QPushButton* connect = nullptr;
    if (!question.changed) {
        connect = box.addButton(QStringLiteral("接続する"), QMessageBox::AcceptRole);
        connect->setObjectName(QStringLiteral("connectButton"));
    }
    QPushButton* refuse = box.addButton(QStringLiteral("接続しない"), QMessageBox::RejectRole);
    refuse->setObjectName(QStringLiteral("refuseButton"));
    // Enter must not connect to a server the user has not looked at.
    box.setDefaultButton(refuse);
    box.setEscapeButton(refuse);
    QCheckBox* trust = nullptr;
    if (!question.changed) {
        trust = new QCheckBox(QStringLiteral("この鍵を今後も信頼する"), &box);
        trust->setObjectName(QStringLiteral("trustCheck"));
        box.setCheckBox(trust);
    }
    box.exec();
    const bool accepted = connect && box.clickedButton() == connect;
    return {accepted, accepted && trust->isChecked()};
}

} // namespace platform
