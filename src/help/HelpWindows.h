#pragma once
// The help and version windows one main window has opened. It is a child of the main
// window, so when the main window goes (the program ends) the windows still open go
// with it, without any of their handlers running.

#include <QObject>
#include <QPointer>

class frmBrowser22;
class frmTesselTitle;

class HelpWindows : public QObject {
    Q_OBJECT
public:
    explicit HelpWindows(QObject* mainWindow);
    ~HelpWindows() override;

    // Each resets itself when its window is closed (the windows delete themselves).
    QPointer<frmBrowser22> browser;
    QPointer<frmTesselTitle> title;
};
