#include "mainwindow/frmTesselFTP.h"
#include "platform/Translation.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TesselFTP"));
    platform::installJapaneseTranslation(app);

    frmTesselFTP window;
    window.show();
    return QApplication::exec();
}
