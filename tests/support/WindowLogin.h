#pragma once
// Logs the main window in to a loopback test server through its own menu, as a user
// would, and lists a folder. Fails the running test when either step does not succeed.

#include "support/MainWindow.h"
#include "support/PyFtpServer.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace testing {

inline void loginAndList(testing::MainWindow& w, const PyFtpServer& server, const QString& folder) {
    w.Combo1->setEditText(server.serverName());
    w.Combo2->setEditText(PyFtpServer::kUser);
    w.Combo5->setEditText(PyFtpServer::kPassword);
    w.mnuConect->trigger();
    QCOMPARE(w.Label2->text(), QStringLiteral("接続成功。"));
    w.Combo4->setEditText(folder);
    w.Command1->click();
    QCOMPARE(w.remoteDir(), folder);
}

} // namespace testing
