// Reading the strip where the player plays: from the game's own window when
// one is found, read from the window itself (so that a game in a window, or
// under XWayland where the screen reads black, is read all the same), else
// from the screen. Coordinates are the window's client area's, so the strip
// is read wherever the window is moved. Safe to use from any thread.
#pragma once

#include "platform/ScreenCapture.h"
#include "platform/qt/XcbDisplay.h"

#include <QObject>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kv {

class GameWindowCapture : public ScreenCapture {
public:
    // `names`: the WM_CLASS names and window titles that mark the game's
    // window, compared without regard to case.
    explicit GameWindowCapture(std::vector<std::string> names);
    ~GameWindowCapture() override;

    // Receives "which source is read" lines when the source changes, on the
    // thread that captures.
    void setLogSink(std::function<void(const std::string&)> sink);
    // A name (class or title) of a window the user picked; tried before the
    // configured names. Empty: none.
    void setChosenWindow(const std::string& name);
    // The viewable windows with a name, for the user to pick from.
    std::vector<XWindowInfo> namedWindows();
    // Main thread: keeps the display count, the primary screen's corner and
    // its scale as Qt reports them.
    void followScreens();
    // Gives the notice at once when there is no X display to read from.
    void warnIfSessionRefusesCapture();

    std::optional<std::uint32_t> activeDisplayCount() override;
    std::unique_ptr<CapturedImage> captureMainDisplay(const Rect& rect) override;
    double backingScaleFactor() override;

private:
    enum class Source { None, GameWindow, Screen };

    std::optional<XWindowInfo> findGameWindow();
    void say(Source source, const XWindowInfo* window);
    // Tells the log once that this session refuses screen reads; the mutex is held.
    void giveRefusedNoticeOnce();

    const std::vector<std::string> names_;
    std::function<void(const std::string&)> logSink_;
    std::mutex mutex_;
    XcbDisplay display_;
    std::string chosen_;
    std::optional<XWindowInfo> window_;
    std::chrono::steady_clock::time_point nextSearch_{};
    Source source_ = Source::None;
    std::uint32_t sourceWindow_ = 0;
    bool noticeGiven_ = false;

    std::atomic<std::uint32_t> displays_{1};
    std::atomic<int> originX_{0};
    std::atomic<int> originY_{0};
    std::atomic<double> scale_{1.0};
    std::unique_ptr<QObject> screenWatch_;
};

} // namespace kv
