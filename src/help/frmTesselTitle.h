#pragma once
// The version window "TesselFtpVersion": the program's title picture on a navy window
// and on one picture button; a click on the button closes the window. The main window
// shows it application-modal: nothing else takes input while it is open.

#include <QPixmap>
#include <QWidget>

class QPushButton;

class frmTesselTitle : public QWidget {
    Q_OBJECT
public:
    explicit frmTesselTitle(QWidget* parent = nullptr);
    ~frmTesselTitle() override;

    // Design client area, twips.
    static constexpr int kClientWidth = 4092;
    static constexpr int kClientHeight = 2772;

    // ---- Controls (objectName = member name) ----
    QPushButton* cmdTessel = nullptr;

    // ---- Event handlers ----
    void cmdTessel_Click();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap title_;
};
