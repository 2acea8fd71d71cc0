// The main window and the help window, loaded from their Designer files, with
// every control wired to the controller's command.
#pragma once

#include "desktop/DisplayAddressView.h"
#include "platform/qt/QtWindowElements.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QTimer>

#include <functional>
#include <memory>

class QSettings;

namespace Ui {
class MainWindow;
class HelpWindow;
} // namespace Ui

namespace kv {

class AppDelegate;
class DebugCellView;

class MainWindow : public QMainWindow {
public:
    MainWindow(AppDelegate& delegate, QSettings& settings, const QString& resourceFolder);
    ~MainWindow() override;

    // Runs when the user closes the window: closing the main window quits.
    void setCloseHandler(std::function<void()> handler) { closeHandler_ = std::move(handler); }
    // Closes the window now, or once a calibration in progress has ended.
    void closeSoon();
    // The status line under the controls and the logo's tooltip.
    void showHostStatus(const QString& status);
    // The companion display's address and its QR code ("" while there is none).
    void showDisplayAddress(const std::string& url) { displayAddress_.show(url); }
    // Shows, un-minimises and raises the window (a second start asks for it).
    void bringForward();

    Ui::MainWindow& ui() { return *ui_; }
    QWidget& helpWindow() { return *helpWindow_; }
    Ui::HelpWindow& helpUi() { return *helpUi_; }
    DebugCellView& debugCells() { return *debugCells_; }
    QtPopUpButton& languagePopUp() { return language_; }
    QtPopUpButton& landingPagePopUp() { return landingPage_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void placeAwayFromStrip();
    void tagItems();
    void showLogo(const QString& resourceFolder);
    void attachToDelegate();
    void connectCommands();
    void calibrate();
    void setCommandsEnabled(bool enabled);
    void showCalibrationTimeLeft();
    void followDebugMode();

    AppDelegate& delegate_;
    std::unique_ptr<Ui::MainWindow> ui_;
    std::unique_ptr<QWidget> helpWindow_;
    std::unique_ptr<Ui::HelpWindow> helpUi_;
    DebugCellView* debugCells_ = nullptr;

    QtLogView log_;
    QtWindow mainFrame_;
    QtWindow helpFrame_;
    QtPopUpButton language_;
    QtPopUpButton landingPage_;
    QtCheckBox desktopToo_;
    QtMenuItem shutdownItem_;
    QtMenuItem debugItem_;
    QtImageView logo_;
    QtRichTextView helpText_;
    DisplayAddressView displayAddress_;

    QTimer calibrationClock_;
    QElapsedTimer calibrationStarted_;
    bool calibrating_ = false;
    bool closeAfterCalibration_ = false;
    QTimer debugRefresh_;
    std::function<void()> closeHandler_;
};

} // namespace kv
