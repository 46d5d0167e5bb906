#pragma once
// The help window "Internet Browser": a toolbar, an address box with a few preset
// addresses, and the browser area. The main window's "ヘルプを表示" opens it on the help
// page FtpHelp.htm; any other address may be typed, so it doubles as a plain browser.

#include <QIcon>
#include <QList>
#include <QWidget>

#include <optional>

class QComboBox;
class QLabel;
class QToolBar;

namespace platform {
class WebView;
}

namespace help {

// Sizes of the browser area and the address box, in twips, for a client area of the
// given size in twips; nothing when the area is too small to give them (minimised, or
// narrower than the address box's left edge plus its margin).
struct BrowserLayout {
    float browserWidth = 0;
    float browserHeight = 0;
    float addressWidth = 0;
};
std::optional<BrowserLayout> browserLayout(float clientWidth, float clientHeight);

// The address box's preset list, in order.
QStringList presetAddresses();

} // namespace help

class frmBrowser22 : public QWidget {
    Q_OBJECT
public:
    explicit frmBrowser22(QWidget* parent = nullptr);
    ~frmBrowser22() override;

    // Design client area, twips.
    static constexpr int kClientWidth = 9708;
    static constexpr int kClientHeight = 6336;

    // ---- Controls (objectName = member name), in tab order ----
    platform::WebView* WB = nullptr;
    QComboBox* Combo1 = nullptr;
    QLabel* Label3 = nullptr;
    QToolBar* Toolbar1 = nullptr;
    // The toolbar's pictures: "ヘルプ表示", "終了", and the window's own globe.
    QList<QIcon> ImageList1;

    // ---- Event handlers ----
    void Form_Load();
    void Form_Resize();
    void Form_Click();
    void Combo1_KeyPress(int KeyAscii);
    void Toolbar1_ButtonClick(const QString& key);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void goToAddress();

    bool backgroundPressed_ = false;
};
