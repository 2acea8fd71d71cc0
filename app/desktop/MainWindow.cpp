#include "desktop/MainWindow.h"

#include "channel/CalibrationSearch.h"
#include "desktop/DebugCellView.h"
#include "shell/AppDelegate.h"
#include "ui_HelpWindow.h"
#include "ui_MainWindow.h"

#include <QCloseEvent>
#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <chrono>
#include <utility>

namespace kv {

namespace {

using namespace std::chrono_literals;

// How often the time left and, in debug mode, the sampled cells are redrawn.
constexpr auto calibrationClockStep = 200ms;
constexpr auto debugCellsRefresh = 100ms;
constexpr int logoPixels = 64;

// Builds a Designer form into its widget, so that the element adapters can be
// made from the form's widgets in the member initialisers.
template <typename Form, typename Widget> std::unique_ptr<Form> loadForm(Widget* widget) {
    auto form = std::make_unique<Form>();
    form->setupUi(widget);
    return form;
}

} // namespace

MainWindow::MainWindow(AppDelegate& delegate, QSettings& settings, const QString& resourceFolder)
    : delegate_(delegate), ui_(loadForm<Ui::MainWindow>(this)), helpWindow_(std::make_unique<QWidget>()),
      helpUi_(loadForm<Ui::HelpWindow>(helpWindow_.get())), log_(ui_->logView), mainFrame_(this, settings),
      helpFrame_(helpWindow_.get(), settings), language_(ui_->languageMenu),
      landingPage_(ui_->landingPageMenu), desktopToo_(ui_->showDesktopToo),
      shutdownItem_(ui_->shutdownKeshMenuItem), debugItem_(ui_->debugMenuItem), logo_(ui_->halvLogoImg),
      helpText_(helpUi_->helpTextView),
      displayAddress_(*ui_->displayCode, *ui_->displayAddress, *ui_->copyAddressButton) {
    debugCells_ = new DebugCellView(ui_->debugCellsHost);
    ui_->debugCellsLayout->addWidget(debugCells_);
    ui_->debugCellsHost->hide();
    ui_->calibrationProgress->hide();
    placeAwayFromStrip();
    tagItems();
    showLogo(resourceFolder);
    attachToDelegate();
    connectCommands();
}

MainWindow::~MainWindow() = default;

// Until a frame is saved, the window opens in the middle of the screen, away
// from the top-left corner where the strip is read.
void MainWindow::placeAwayFromStrip() {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

// The items' order in the layout is the order of the tags: language 1 ... 13,
// landing page 1 ... 4.
void MainWindow::tagItems() {
    for (QComboBox* box : {ui_->languageMenu, ui_->landingPageMenu})
        for (int i = 0; i < box->count(); ++i)
            box->setItemData(i, static_cast<qlonglong>(i + 1));
}

void MainWindow::showLogo(const QString& resourceFolder) {
    const QPixmap logo(QDir(resourceFolder).filePath(QStringLiteral("kesh-vistrel.png")));
    if (!logo.isNull())
        ui_->halvLogoImg->setPixmap(
            logo.scaled(logoPixels, logoPixels, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    else
        ui_->halvLogoImg->setText(QStringLiteral("Halvorin\nKesh"));
}

void MainWindow::attachToDelegate() {
    delegate_.myTextScroll = &log_;
    delegate_.mainWindow = &mainFrame_;
    delegate_.helpWindow = &helpFrame_;
    delegate_.languageMenu = &language_;
    delegate_.landingPageMenu = &landingPage_;
    delegate_.showDesktopToo = &desktopToo_;
    delegate_.ShutdownKeshMenuItem = &shutdownItem_;
    delegate_.HalvLogoImg = &logo_;
    delegate_.helpTextView = &helpText_;
}

// Commands follow what the user does (activated, clicked, triggered), never
// what the controller sets from code.
void MainWindow::connectCommands() {
    Ui::MainWindow& ui = *ui_;
    connect(ui.languageMenu, &QComboBox::activated, this, [this] { delegate_.languageChanged(&language_); });
    connect(ui.landingPageMenu, &QComboBox::activated, this,
            [this] { delegate_.landingChanged(&landingPage_); });
    connect(ui.showDesktopToo, &QCheckBox::clicked, this,
            [this] { delegate_.DesktopTooClicked(&desktopToo_); });
    connect(ui.calibrateButton, &QPushButton::clicked, this, [this] { calibrate(); });
    connect(ui.helpButton, &QPushButton::clicked, this, [this] { delegate_.myBtnClicked(nullptr); });
    connect(ui.testButton, &QPushButton::clicked, this, [this] { delegate_.testButton(nullptr); });
    connect(ui.combatTriggerButton, &QPushButton::clicked, this,
            [this] { delegate_.combatTrigger(nullptr); });
    connect(ui.combatUntriggerButton, &QPushButton::clicked, this,
            [this] { delegate_.combatUntrigger(nullptr); });
    connect(ui.moneyTriggerButton, &QPushButton::clicked, this, [this] { delegate_.moneyTrigger(nullptr); });
    connect(ui.levelTriggerButton, &QPushButton::clicked, this, [this] { delegate_.levelTrigger(nullptr); });
    connect(ui.helpMenuItem, &QAction::triggered, this, [this] { delegate_.helpMenuItem(nullptr); });
    connect(ui.debugMenuItem, &QAction::triggered, this, [this] {
        delegate_.debugMenuItem(&debugItem_);
        followDebugMode();
    });
    connect(ui.shutdownKeshMenuItem, &QAction::triggered, this,
            [this] { delegate_.ShutdownKeshMenuClick(&shutdownItem_); });
    connect(ui.quitMenuItem, &QAction::triggered, this, [this] { close(); });

    calibrationClock_.setInterval(calibrationClockStep);
    connect(&calibrationClock_, &QTimer::timeout, this, [this] { showCalibrationTimeLeft(); });
    debugRefresh_.setInterval(debugCellsRefresh);
    connect(&debugRefresh_, &QTimer::timeout, this,
            [this] { debugCells_->setCells(delegate_.pixelData, delegate_.scanData); });
}

// The search blocks this call for up to 90 s while the run loop turns in short
// steps without user input: the window keeps painting and shows the time left.
void MainWindow::calibrate() {
    const bool searchStarts = !delegate_.confirmCalibrate;
    if (searchStarts) {
        calibrating_ = true;
        setCommandsEnabled(false);
        calibrationStarted_.start();
        showCalibrationTimeLeft();
        ui_->calibrationProgress->show();
        calibrationClock_.start();
    }
    delegate_.calibrateButton(nullptr);
    if (searchStarts) {
        calibrationClock_.stop();
        ui_->calibrationProgress->hide();
        setCommandsEnabled(true);
        calibrating_ = false;
        if (std::exchange(closeAfterCalibration_, false))
            close();
    }
}

void MainWindow::setCommandsEnabled(bool enabled) {
    for (QWidget* control : std::initializer_list<QWidget*>{
             ui_->languageMenu, ui_->landingPageMenu, ui_->showDesktopToo, ui_->calibrateButton,
             ui_->helpButton, ui_->testButton, ui_->triggerBox, ui_->menubar})
        control->setEnabled(enabled);
}

void MainWindow::showCalibrationTimeLeft() {
    const auto elapsed = static_cast<int>(calibrationStarted_.elapsed() / 1000);
    ui_->calibrationProgress->setValue(
        std::max(0, static_cast<int>(channel::kCalibrationTimeLimit.count()) - elapsed));
}

void MainWindow::followDebugMode() {
    ui_->debugCellsHost->setVisible(delegate_.debugMode);
    if (delegate_.debugMode) {
        debugCells_->setCells(delegate_.pixelData, delegate_.scanData);
        debugRefresh_.start();
    } else {
        debugRefresh_.stop();
    }
}

void MainWindow::showHostStatus(const QString& status) {
    ui_->hostStatusLine->setText(status);
    ui_->halvLogoImg->setToolTip(status);
}

void MainWindow::closeSoon() {
    if (calibrating_)
        closeAfterCalibration_ = true;
    else
        close();
}

void MainWindow::bringForward() {
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

// A close request from the window manager still arrives while a calibration
// blocks input; the window stays until the search has ended.
void MainWindow::closeEvent(QCloseEvent* event) {
    if (calibrating_) {
        event->ignore();
        return;
    }
    event->accept();
    helpWindow_->close();
    if (closeHandler_)
        closeHandler_();
}

} // namespace kv
