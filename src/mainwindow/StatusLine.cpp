// The status line Label2: every outcome of the window and the dial-up window, with the
// cause of a failure beside it.
#include "mainwindow/frmTesselFTP.h"

#include "ftp/rules/FailureCauses.h"

#include <QLabel>

void frmTesselFTP::setStatus(const QString& text, const QString& cause) {
    Label2->setText(text);
    Label2->setToolTip(cause);
    Label2->setAccessibleDescription(cause);
}

void frmTesselFTP::showDialStatus(const QString& text) {
    setStatus(text);
}

QString frmTesselFTP::refusalCause() {
    try {
        return causes::ofRefusal(session().GetReply());
    } catch (const std::exception& e) {
        return causes::ofException(e);
    }
}
