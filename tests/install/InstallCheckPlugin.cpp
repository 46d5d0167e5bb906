// Loaded by Qt into the installed program (QT_QPA_GENERIC_PLUGINS=tesselinstallcheck),
// this plays a user's first session through the program's own windows and writes what it
// saw, one "key value" line each, to $TESSEL_INSTALL_CHECK_REPORT:
//   window       the main window opened
//   saved        "Save" was pressed with the server name in the box
//   help         the help window's address; helppage  the page's first line once shown
//   connected    logged in to $TESSEL_INSTALL_CHECK_SERVER as anonymous
//   sound        the completion sound's file after a download into $TESSEL_INSTALL_CHECK_DOWNLOADS
//   box          the text of a message box that appeared (the run then stops)
// It then ends the program with 0, or with 2 when a step failed or timed out.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QFile>
#include <QGenericPlugin>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QTextBrowser>
#include <QTimer>

#include <functional>

namespace {

QWidget* topLevel(const char* name) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String(name) && w->isVisible())
            return w;
    return nullptr;
}

template <typename T> T* child(QWidget* window, const char* name) {
    return window ? window->findChild<T*>(QLatin1String(name)) : nullptr;
}

class SessionPlayer : public QObject {
public:
    SessionPlayer() {
        report_.setFileName(qEnvironmentVariable("TESSEL_INSTALL_CHECK_REPORT"));
        report_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text);
        waitFor([] { return topLevel("frmTesselFTP") != nullptr; }, [this] { start(); });
    }

private:
    // Polls until ready() holds, then runs next; a message box or the deadline ends the run.
    void waitFor(std::function<bool()> ready, std::function<void()> next, int seconds = 30) {
        const QDeadlineTimer deadline(seconds * 1000);
        auto* timer = new QTimer(this);
        QObject::connect(timer, &QTimer::timeout, this, [=, this] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                    timer->deleteLater();
                    return fail(QStringLiteral("box ") + box->text().simplified());
                }
            if (ready()) {
                timer->deleteLater();
                next();
            } else if (deadline.hasExpired()) {
                timer->deleteLater();
                fail(QStringLiteral("timeout"));
            }
        });
        timer->start(50);
    }

    void write(const QString& line) {
        report_.write((line + u'\n').toUtf8());
        report_.flush();
    }
    void fail(const QString& line) {
        write(line);
        QCoreApplication::exit(2);
    }

    void start() {
        main_ = topLevel("frmTesselFTP");
        write(QStringLiteral("window frmTesselFTP"));
        auto* server = child<QComboBox>(main_, "Combo1");
        server->setEditText(qEnvironmentVariable("TESSEL_INSTALL_CHECK_SERVER"));
        child<QAbstractButton>(main_, "Command2")->click();
        write(QStringLiteral("saved"));
        openHelp();
    }

    void openHelp() {
        child<QAction>(main_, "mnuHelpPrint")->trigger();
        waitFor([] { return topLevel("frmBrowser22") != nullptr; },
                [this] {
                    QWidget* browser = topLevel("frmBrowser22");
                    write(QStringLiteral("help ") + child<QComboBox>(browser, "Combo1")->currentText());
                    child<QAction>(browser, "Print")->trigger();
                    auto* page = child<QTextBrowser>(browser, "WB");
                    waitFor([page] { return !page->toPlainText().trimmed().isEmpty(); },
                            [this, page, browser] {
                                write(QStringLiteral("helppage ") +
                                      page->toPlainText().trimmed().section(u'\n', 0, 0).simplified());
                                browser->close();
                                connectToServer();
                            });
                });
    }

    void connectToServer() {
        child<QComboBox>(main_, "Combo2")->setEditText(QStringLiteral("anonymous"));
        child<QComboBox>(main_, "Combo5")->setEditText(QStringLiteral("check@example"));
        child<QAction>(main_, "mnuConect")->trigger();
        auto* files = child<QListWidget>(main_, "List2");
        waitFor(
            [this, files] { return child<QAction>(main_, "mnuClose")->isEnabled() && files->count() > 0; },
            [this, files] {
                write(QStringLiteral("connected"));
                download(files);
            });
    }

    void download(QListWidget* files) {
        const QList<QListWidgetItem*> found = files->findItems(QStringLiteral("hello.txt"), Qt::MatchExactly);
        if (found.isEmpty())
            return fail(QStringLiteral("no hello.txt on the server"));
        files->setCurrentItem(found.first()); // selecting composes the remote path
        child<QLineEdit>(main_, "Text3")->setText(qEnvironmentVariable("TESSEL_INSTALL_CHECK_DOWNLOADS"));
        child<QAbstractButton>(main_, "Command6")->click();
        QObject* sound = main_->findChild<QObject*>(QStringLiteral("MMControl1"));
        waitFor([sound] { return !sound->property("FileName").toString().isEmpty(); },
                [this, sound] {
                    write(QStringLiteral("sound ") + sound->property("FileName").toString() +
                          (sound->property("hasSound").toBool() ? QStringLiteral(" playable") : QString()));
                    QCoreApplication::exit(0);
                });
    }

    QFile report_;
    QWidget* main_ = nullptr;
};

} // namespace

class InstallCheckPlugin : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "InstallCheckPlugin.json")
public:
    QObject* create(const QString& key, const QString&) override {
        if (key.compare(QLatin1String("tesselinstallcheck"), Qt::CaseInsensitive) != 0)
            return nullptr;
        // Created while the application starts; the session begins once the window is up.
        return new SessionPlayer;
    }
};

#include "InstallCheckPlugin.moc"
