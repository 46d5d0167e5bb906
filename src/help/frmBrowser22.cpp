#include "help/frmBrowser22.h"

#include "platform/Accessibility.h"
#include "platform/Fonts.h"
#include "platform/Resources.h"
#include "platform/Twips.h"
#include "platform/WebView.h"

#include <QAction>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QToolBar>
#include <QToolButton>

#include <cmath>

namespace help {

namespace {
// Fixed positions, twips.
constexpr int kBrowserLeft = 120;
constexpr int kBrowserTop = 1080;
constexpr int kAddressLeft = 720;
constexpr int kAddressTop = 600;
constexpr int kAddressWidth = 5415;
constexpr int kAddressHeight = 300;
constexpr int kToolbarHeight = 528;

int pixels(float twipsValue) {
    return int(std::lround(twipsValue / float(twips::kTwipsPerPixel)));
}
} // namespace

std::optional<BrowserLayout> browserLayout(float clientWidth, float clientHeight) {
    BrowserLayout layout;
    layout.browserWidth = clientWidth - 100.0f;
    layout.browserHeight = clientHeight - float(kAddressTop + kAddressHeight) - 150.0f;
    layout.addressWidth = clientWidth - float(kAddressLeft) - 120.0f;
    if (layout.browserWidth < 0 || layout.browserHeight < 0 || layout.addressWidth < 0)
        return std::nullopt;
    return layout;
}

QStringList presetAddresses() {
    return {QStringLiteral("c:\\home\\index.htm"), QStringLiteral("https://www.yahoo.co.jp/"),
            QStringLiteral("https://www.example.com/~tessel/index.htm"),
            QStringLiteral("https://www.vector.co.jp/")};
}

} // namespace help

frmBrowser22::frmBrowser22(QWidget* parent) : QWidget(parent, Qt::Window) {
    platform::initResources();
    setObjectName(QStringLiteral("frmBrowser22"));
    setWindowTitle(QStringLiteral("Internet Browser"));
    setAttribute(Qt::WA_DeleteOnClose); // closing unloads: the next opening starts afresh
    setFont(platform::japaneseUiFont(9));
    ImageList1 = {QIcon(QStringLiteral(":/images/help.png")), QIcon(QStringLiteral(":/images/exit.png")),
                  QIcon(QStringLiteral(":/images/browser.png"))};
    setWindowIcon(ImageList1.at(2));
    createControls();
    resize(twips::size(kClientWidth, kClientHeight));
    Form_Load();
}

frmBrowser22::~frmBrowser22() = default;

void frmBrowser22::createControls() {
    WB = new platform::WebView(this);
    WB->setObjectName(QStringLiteral("WB"));
    WB->setGeometry(twips::rect(help::kBrowserLeft, help::kBrowserTop, 9492, 4812));

    Combo1 = new QComboBox(this);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setGeometry(
        twips::rect(help::kAddressLeft, help::kAddressTop, help::kAddressWidth, help::kAddressHeight));
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert); // Enter goes to the address, it adds nothing
    // No completion from the presets: what the user typed is the address Enter goes to.
    Combo1->setCompleter(nullptr);
    Combo1->addItems(help::presetAddresses());
    Combo1->setEditText(QString());
    Combo1->installEventFilter(this);

    Label3 = new QLabel(QStringLiteral("URL"), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setGeometry(twips::rect(240, 720, 495, 255));

    Toolbar1 = new QToolBar(this);
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setMovable(false);
    Toolbar1->setFloatable(false);
    Toolbar1->setIconSize(QSize(16, 16));
    Toolbar1->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    Toolbar1->setGeometry(0, 0, width(), twips::toPixels(help::kToolbarHeight));
    auto addButton = [this](const QString& caption, const QString& key, const QIcon& icon) {
        QAction* action = Toolbar1->addAction(icon, caption);
        action->setObjectName(key);
        action->setData(key);
        Toolbar1->widgetForAction(action)->setObjectName(key);
    };
    addButton(QStringLiteral("ヘルプ表示"), QStringLiteral("Print"), ImageList1.at(0));
    addButton(QStringLiteral("終了"), QStringLiteral("Exit"), ImageList1.at(1));
    connect(Toolbar1, &QToolBar::actionTriggered, this,
            [this](QAction* action) { Toolbar1_ButtonClick(action->data().toString()); });

    platform::setAccessibleName(WB, QStringLiteral("ページ"));
    platform::setAccessibleName(Combo1, QStringLiteral("アドレス"), Label3);

    // Choosing a preset only makes it the box's text; going there takes Enter, the
    // "ヘルプ表示" button or a click on the window.
    QWidget::setTabOrder(WB, Combo1);
    WB->setFocus();
}

// The page shown is the address box's text, passed to the browser area as it stands.
void frmBrowser22::goToAddress() {
    WB->Navigate(Combo1->currentText());
}

void frmBrowser22::Form_Load() {
    goToAddress();
}

void frmBrowser22::Form_Resize() {
    const float clientWidth = float(width()) * float(twips::kTwipsPerPixel);
    const float clientHeight = float(height()) * float(twips::kTwipsPerPixel);
    Toolbar1->resize(width(), Toolbar1->height()); // docked along the top edge
    const std::optional<help::BrowserLayout> layout = help::browserLayout(clientWidth, clientHeight);
    if (!layout)
        return; // too small (or minimised): the controls keep their sizes
    WB->setWidth(help::pixels(layout->browserWidth));
    WB->setHeight(help::pixels(layout->browserHeight));
    Combo1->resize(help::pixels(layout->addressWidth), Combo1->height());
}

void frmBrowser22::Form_Click() {
    goToAddress();
}

void frmBrowser22::Combo1_KeyPress(int KeyAscii) {
    if (KeyAscii == 13)
        goToAddress();
}

void frmBrowser22::Toolbar1_ButtonClick(const QString& key) {
    if (key == QLatin1String("Print"))
        goToAddress();
    else if (key == QLatin1String("Exit"))
        close();
}

void frmBrowser22::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

// A click on the window itself, not on one of its controls (the label included).
void frmBrowser22::mousePressEvent(QMouseEvent* event) {
    backgroundPressed_ = event->button() == Qt::LeftButton && !childAt(event->position().toPoint());
    QWidget::mousePressEvent(event);
}

void frmBrowser22::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    const bool click =
        backgroundPressed_ && event->button() == Qt::LeftButton && rect().contains(at) && !childAt(at);
    backgroundPressed_ = false;
    QWidget::mouseReleaseEvent(event);
    if (click)
        Form_Click();
}

// Keys typed in the address box reach Combo1_KeyPress first and then the box itself.
bool frmBrowser22::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Combo1 && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        int code = 0;
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            code = 13;
        else if (!key->text().isEmpty())
            code = key->text().at(0).unicode();
        if (code != 0)
            Combo1_KeyPress(code);
    }
    return QWidget::eventFilter(watched, event);
}
