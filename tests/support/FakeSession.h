#pragma once
// A main window over the component double: temporary application folder and log,
// scripted message boxes, and a few steps most window tests start with.

#include "support/MainWindow.h"
#include "support/FakeFtpComponent.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestEnvironment.h"

#include <QComboBox>
#include <QFile>
#include <QListWidget>

namespace testing {

struct FakeSession {
    TestEnvironment env;
    FakeFtpInstall fake;
    ScriptedMessageBoxes boxes;
    testing::MainWindow w;

    FakeSession() { w.show(); }

    FakeFtpScript& script() { return fake.script(); }
    QStringList& calls() { return fake.record().calls; }

    // Connects through "サーバーへ接続" (the double answers 0).
    void connect() { w.mnuConect->trigger(); }

    // Lists `path` with "変更" so that it becomes RemoteDir.
    void listAt(const QString& path) {
        w.Combo4->setEditText(path);
        w.Command1->click();
    }

    // Selects the entry `name` of a list as a click does.
    static void clickEntry(QListWidget* list, const QString& name) {
        const QList<QListWidgetItem*> found = list->findItems(name, Qt::MatchExactly);
        if (found.isEmpty())
            return;
        list->setCurrentItem(found.first());
    }

    // The calls made since the mark `from` (an index into calls()).
    QStringList callsSince(qsizetype from) { return calls().mid(from); }

    // Replaces the session log's content (CP932 bytes as the component writes them).
    void writeLog(const QByteArray& bytes) {
        QFile log(env.logPath());
        if (log.open(QIODevice::WriteOnly | QIODevice::Truncate))
            log.write(bytes);
    }
};

} // namespace testing
