// What a screen reader meets in the four windows: every control that takes the focus
// has a name, the transfer buttons and the login boxes have the names users hear, the
// labels beside the boxes are their buddies, the status line's name follows its text,
// and the "File Up or DownLoad" heading fits its box.
#include "mainwindow/frmTesselFTP.h"
#include "dialup/frmRAS.h"
#include "help/frmBrowser22.h"
#include "help/frmTesselTitle.h"
#include "platform/Twips.h"
#include "support/FakeRasApi.h"
#include "support/ScriptedMessageBoxes.h"
#include "support/TestEnvironment.h"

#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

// Every widget in the window's accessibility tree that a user can tab to and that has
// no name, as "objectName (class)".
QStringList unnamedFocusableControls(QWidget* window) {
    QStringList unnamed;
    std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* node) {
        auto* widget = qobject_cast<QWidget*>(node->object());
        if (widget && (widget->focusPolicy() & Qt::TabFocus) && widget->isVisibleTo(window) &&
            node->text(QAccessible::Name).trimmed().isEmpty())
            unnamed << widget->objectName() + QStringLiteral(" (") +
                           QLatin1String(widget->metaObject()->className()) + u')';
        for (int i = 0; i < node->childCount(); ++i)
            if (QAccessibleInterface* child = node->child(i))
                walk(child);
    };
    walk(QAccessible::queryAccessibleInterface(window));
    return unnamed;
}

QString nameOf(QObject* object) {
    QAccessibleInterface* node = QAccessible::queryAccessibleInterface(object);
    return node ? node->text(QAccessible::Name) : QString();
}

template <typename T> T* child(QWidget* window, const char* name) {
    auto* found = window->findChild<T*>(QLatin1String(name));
    if (!found)
        qFatal("no control %s", name);
    return found;
}

} // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT

private slots:
    void everyFocusableControlHasAName() {
        testing::TestEnvironment env;
        testing::ScriptedMessageBoxes boxes;
        testing::FakeRasApi ras;
        ras.entries = {"office"};
        frmTesselFTP main;
        main.show();
        QStringList unnamed = unnamedFocusableControls(&main);

        child<QAction>(&main, "mnuFileLine")->trigger();
        QVERIFY(frmRAS::loaded());
        unnamed << unnamedFocusableControls(frmRAS::loaded());

        frmBrowser22 browser;
        browser.show();
        unnamed << unnamedFocusableControls(&browser);
        frmTesselTitle title;
        title.show();
        unnamed << unnamedFocusableControls(&title);
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QStringLiteral(", "))));
        frmRAS::loaded()->Unload();
    }

    void theNamesUsersHear() {
        testing::TestEnvironment env;
        testing::ScriptedMessageBoxes boxes;
        frmTesselFTP main;
        main.show();
        QCOMPARE(nameOf(child<QPushButton>(&main, "Command6")), QStringLiteral("ダウンロード"));
        QCOMPARE(nameOf(child<QPushButton>(&main, "Command5")), QStringLiteral("アップロード"));
        QCOMPARE(child<QPushButton>(&main, "Command6")->toolTip(), QStringLiteral("ダウンロード"));
        QCOMPARE(child<QPushButton>(&main, "Command5")->toolTip(), QStringLiteral("アップロード"));
        // Label in name: a captioned button is named by the caption a user sees and can say.
        for (const auto& [button, caption, description] :
             {std::tuple{"Command2", "Save", "サーバー名を保存"},
              {"Command3", "CLS", "サーバー名を一覧から削除"},
              {"cmdMkDir", "MakeDir", "フォルダ作成"},
              {"cmdMkDirOk", "OK", "フォルダを作成"},
              {"cmdMkDirNext", "Cancel", "フォルダ作成をキャンセル"}}) {
            auto* node = QAccessible::queryAccessibleInterface(child<QPushButton>(&main, button));
            QCOMPARE(node->text(QAccessible::Name), QString::fromUtf8(caption));
            QCOMPARE(node->text(QAccessible::Description), QString::fromUtf8(description));
        }

        // A box keeps its name whatever is typed in it; the text is its value. The line
        // edit that takes the typing carries the same name.
        auto* user = child<QComboBox>(&main, "Combo2");
        auto* password = child<QComboBox>(&main, "Combo5");
        auto* server = child<QComboBox>(&main, "Combo1");
        user->setEditText(QStringLiteral("anonymous"));
        QCOMPARE(nameOf(user), QStringLiteral("ユーザーID"));
        QCOMPARE(QAccessible::queryAccessibleInterface(user)->text(QAccessible::Value),
                 QStringLiteral("anonymous"));
        QCOMPARE(nameOf(user->lineEdit()), QStringLiteral("ユーザーID"));
        QCOMPARE(nameOf(password), QStringLiteral("パスワード"));
        QCOMPARE(nameOf(server), QStringLiteral("サーバー"));
        QCOMPARE(QAccessible::queryAccessibleInterface(server)->role(), QAccessible::ComboBox);
        QCOMPARE(nameOf(child<QWidget>(&main, "List1")), QStringLiteral("リモートのフォルダ一覧"));
        QCOMPARE(nameOf(child<QWidget>(&main, "File1")), QStringLiteral("ローカルのファイル一覧"));

        // The English labels stay as they are and describe their boxes.
        QCOMPARE(child<QLabel>(&main, "Label3")->text(), QStringLiteral("UserID"));
        QCOMPARE(child<QLabel>(&main, "Label3")->buddy(), user);
        QCOMPARE(child<QLabel>(&main, "Label4")->buddy(), password);
        const auto labelled = QAccessible::queryAccessibleInterface(password)->relations(QAccessible::Label);
        QVERIFY(!labelled.isEmpty());
        QCOMPARE(labelled.first().first->object(), child<QLabel>(&main, "Label4"));
    }

    void theDialUpWindowNamesItsBoxesByTheirLabels() {
        testing::TestEnvironment env;
        testing::ScriptedMessageBoxes boxes;
        testing::FakeRasApi ras;
        frmTesselFTP main;
        child<QAction>(&main, "mnuFileLine")->trigger();
        frmRAS* w = frmRAS::loaded();
        QVERIFY(w);
        QCOMPARE(nameOf(w->Combo1), QStringLiteral("エントリー名"));
        QCOMPARE(nameOf(w->Text1), QStringLiteral("ユーザー名"));
        QCOMPARE(nameOf(w->Text2), QStringLiteral("パスワード"));
        QCOMPARE(w->Label1[2]->buddy(), w->Text2);

        // The main window's status line has no fixed name: what it says is what is read,
        // so every new text reaches the screen reader as a name change.
        auto* status = child<QLabel>(&main, "Label2");
        QVERIFY(status->accessibleName().isEmpty());
        w->Command1->click(); // dial with nothing filled in
        QCOMPARE(status->text(), QStringLiteral("+++ +++"));
        QCOMPARE(nameOf(status), QStringLiteral("+++ +++"));
        w->Unload();
    }

    // The heading's caption, wrapped as the label wraps it, fits its 855 x 495 box, and
    // the box keeps its size and place.
    void theTransferHeadingShowsItsWholeCaption() {
        testing::TestEnvironment env;
        frmTesselFTP main;
        auto* heading = child<QLabel>(&main, "Label12");
        QCOMPARE(heading->text(), QStringLiteral("File Up or DownLoad"));
        QCOMPARE(heading->geometry(), twips::rect(2520, 2880, 855, 495));
        const QRect needed =
            QFontMetrics(heading->font())
                .boundingRect(heading->contentsRect(), Qt::TextWordWrap | Qt::AlignLeft, heading->text());
        QVERIFY2(heading->contentsRect().contains(needed),
                 qPrintable(QStringLiteral("needs %1 x %2").arg(needed.width()).arg(needed.height())));
        // No word is broken inside: the longest word fits on one line.
        QVERIFY(QFontMetrics(heading->font()).horizontalAdvance(QStringLiteral("DownLoad")) <=
                heading->contentsRect().width());
    }
};

QTEST_MAIN(AccessibilityTest)
#include "tst_accessibility.moc"
