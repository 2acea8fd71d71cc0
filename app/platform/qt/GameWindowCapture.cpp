#include "platform/qt/GameWindowCapture.h"

#include "platform/qt/QtScreenCapture.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cctype>

namespace kv {

namespace {

// While no game window is known, the windows are searched this often.
constexpr auto searchInterval = std::chrono::seconds(1);

bool sameName(const std::string& a, const std::string& b) {
    return !a.empty() && a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool isNamed(const XWindowInfo& window, const std::string& name) {
    return sameName(window.instance, name) || sameName(window.className, name) ||
           sameName(window.title, name);
}

} // namespace

GameWindowCapture::GameWindowCapture(std::vector<std::string> names) : names_(std::move(names)) {}

GameWindowCapture::~GameWindowCapture() = default;

void GameWindowCapture::setLogSink(std::function<void(const std::string&)> sink) {
    const std::lock_guard lock(mutex_);
    logSink_ = std::move(sink);
}

void GameWindowCapture::setChosenWindow(const std::string& name) {
    const std::lock_guard lock(mutex_);
    chosen_ = name;
    window_.reset();
    nextSearch_ = {};
}

std::vector<XWindowInfo> GameWindowCapture::namedWindows() {
    const std::lock_guard lock(mutex_);
    auto windows = display_.namedWindows();
    std::erase_if(windows, [](const XWindowInfo& window) { return !window.viewable; });
    return windows;
}

// The user's choice first, then the configured names; among the windows of a
// name, a shown one before a hidden one and a large one before a small one
// (the game's client may own a few small windows of its own).
std::optional<XWindowInfo> GameWindowCapture::findGameWindow() {
    const auto windows = display_.namedWindows();
    std::vector<std::string> names;
    if (!chosen_.empty())
        names.push_back(chosen_);
    names.insert(names.end(), names_.begin(), names_.end());
    for (const std::string& name : names) {
        const XWindowInfo* best = nullptr;
        for (const XWindowInfo& window : windows)
            if (isNamed(window, name) &&
                (!best || std::pair(window.viewable, window.area) > std::pair(best->viewable, best->area)))
                best = &window;
        if (best)
            return *best;
    }
    return std::nullopt;
}

std::unique_ptr<CapturedImage> GameWindowCapture::captureMainDisplay(const Rect& rect) {
    const std::lock_guard lock(mutex_);
    if (!display_.connected()) {
        giveRefusedNoticeOnce();
        return nullptr;
    }
    const auto now = std::chrono::steady_clock::now();
    if (!window_ && now >= nextSearch_) {
        window_ = findGameWindow();
        nextSearch_ = now + searchInterval;
    }
    for (int attempt = 0; window_ && attempt < 2; ++attempt) {
        bool gone = false;
        auto image = display_.grab(window_->id, rect, gone);
        if (!gone) {
            say(Source::GameWindow, &*window_);
            return image; // none while the game is minimised: the tick reads nothing
        }
        // The game quit or started again: look for its window at once.
        window_ = findGameWindow();
        nextSearch_ = now + searchInterval;
    }
    window_.reset();
    say(Source::Screen, nullptr);
    bool gone = false;
    return display_.grab(display_.root(),
                         Rect{rect.x + originX_.load(), rect.y + originY_.load(), rect.width, rect.height},
                         gone);
}

void GameWindowCapture::say(Source source, const XWindowInfo* window) {
    const std::uint32_t id = window ? window->id : 0;
    if (source == source_ && id == sourceWindow_)
        return;
    source_ = source;
    sourceWindow_ = id;
    if (!logSink_)
        return;
    if (source == Source::Screen) {
        logSink_("No game window found: reading the strip from the screen.\n");
        return;
    }
    const std::string& name = !window->title.empty() ? window->title : window->className;
    logSink_("Reading the strip from the game window \"" + name + "\".\n");
}

std::optional<std::uint32_t> GameWindowCapture::activeDisplayCount() {
    return displays_.load();
}

double GameWindowCapture::backingScaleFactor() {
    return scale_.load();
}

void GameWindowCapture::followScreens() {
    screenWatch_ = std::make_unique<QObject>();
    const auto update = [this] {
        displays_ = static_cast<std::uint32_t>(QGuiApplication::screens().size());
        const QScreen* primary = QGuiApplication::primaryScreen();
        const double scale = primary ? primary->devicePixelRatio() : 1.0;
        const QPoint corner = primary ? primary->geometry().topLeft() : QPoint();
        scale_ = scale;
        originX_ = static_cast<int>(std::lround(corner.x() * scale));
        originY_ = static_cast<int>(std::lround(corner.y() * scale));
    };
    update();
    auto* application = qGuiApp;
    QObject::connect(application, &QGuiApplication::screenAdded, screenWatch_.get(), update);
    QObject::connect(application, &QGuiApplication::screenRemoved, screenWatch_.get(), update);
    QObject::connect(application, &QGuiApplication::primaryScreenChanged, screenWatch_.get(), update);
}

void GameWindowCapture::warnIfSessionRefusesCapture() {
    const std::lock_guard lock(mutex_);
    if (!display_.connected())
        giveRefusedNoticeOnce();
}

void GameWindowCapture::giveRefusedNoticeOnce() {
    if (!noticeGiven_ && logSink_)
        logSink_(QtScreenCapture::captureRefusedNotice());
    noticeGiven_ = true;
}

} // namespace kv
