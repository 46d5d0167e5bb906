// "Save" and "CLS": the remembered server names in Combo1 and "ftpsvr.dat".
#include "mainwindow/frmTesselFTP.h"

#include "ftp/rules/FailureCauses.h"
#include "ftp/rules/ServerList.h"
#include "platform/MessageBox.h"

#include <QComboBox>

void frmTesselFTP::Command2_Click() {
    const QString text = Combo1->currentText();
    const bool nonePicked = Combo1->currentIndex() < 0;
    Combo1->addItem(text);
    if (nonePicked) { // adding the first entry must not count as picking it
        Combo1->setCurrentIndex(-1);
        Combo1->setEditText(text);
    }
    QStringList entries;
    entries.reserve(Combo1->count());
    for (int i = 0; i < Combo1->count(); ++i)
        entries.append(Combo1->itemText(i));
    const QString path = MyPath() + serverlist::kFileName;
    if (const auto failure = serverlist::write(path, entries))
        platform::FailureBox(this, QStringLiteral("サーバーリストを保存できませんでした。\n%1").arg(path),
                             causes::ofLocalFile(causes::FileAccess::Write, *failure));
}

void frmTesselFTP::Command3_Click() {
    // The selected entry is the one last picked from the list, as long as the text was
    // not edited since; with none selected there is nothing to remove.
    const int index = Combo1->currentIndex();
    if (index < 0 || Combo1->itemText(index) != Combo1->currentText())
        return;
    const QString text = Combo1->currentText();
    Combo1->removeItem(index);
    Combo1->setCurrentIndex(-1);
    Combo1->setEditText(text);
}
