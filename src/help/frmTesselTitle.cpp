#include "help/frmTesselTitle.h"

#include "platform/Accessibility.h"
#include "platform/Resources.h"
#include "platform/Twips.h"

#include <QPainter>
#include <QPushButton>

namespace {
const QColor kNavy(0, 0, 64);
}

frmTesselTitle::frmTesselTitle(QWidget* parent) : QWidget(parent, Qt::Window) {
    platform::initResources();
    setObjectName(QStringLiteral("frmTesselTitle"));
    setWindowTitle(QStringLiteral("TesselFtpVersion"));
    setWindowIcon(QIcon(QStringLiteral(":/images/tesselftp.png")));
    setAttribute(Qt::WA_DeleteOnClose); // closing unloads: the next opening loads it afresh
    setWindowModality(Qt::ApplicationModal);
    title_ = QPixmap(QStringLiteral(":/images/title.jpg"));

    QPalette navy = palette();
    navy.setColor(QPalette::Window, kNavy);
    setPalette(navy);
    setAutoFillBackground(true);

    // A picture button: the title picture centred on its face, no caption. Pressed, the
    // picture moves down and right as on a graphical button.
    cmdTessel = new QPushButton(this);
    cmdTessel->setObjectName(QStringLiteral("cmdTessel"));
    cmdTessel->setGeometry(twips::rect(120, 120, 3855, 2535));
    cmdTessel->setIcon(QIcon(title_));
    cmdTessel->setIconSize(title_.size());
    cmdTessel->setStyleSheet(
        QStringLiteral("#cmdTessel { border: none; padding: 0; background: rgb(0, 0, 64); }"
                       "#cmdTessel:pressed { padding-left: 2px; padding-top: 2px; }"));
    platform::setAccessibleName(cmdTessel, QStringLiteral("TesselFTP のバージョン情報を閉じる"));
    cmdTessel->setToolTip(QStringLiteral("閉じる"));
    connect(cmdTessel, &QPushButton::clicked, this, &frmTesselTitle::cmdTessel_Click);
    cmdTessel->setFocus(); // the only control in the tab order

    resize(twips::size(kClientWidth, kClientHeight));
}

frmTesselTitle::~frmTesselTitle() = default;

void frmTesselTitle::cmdTessel_Click() {
    close();
}

// The title picture is also the window's background, drawn from the top-left corner.
void frmTesselTitle::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    QPainter painter(this);
    painter.drawPixmap(0, 0, title_);
}
