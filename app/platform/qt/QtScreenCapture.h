// Screen capture on the Qt desktop: the primary screen is the main display,
// and a grab of a rectangle of the root window is the captured image.
#pragma once

#include "platform/ScreenCapture.h"

#include <functional>
#include <string>

namespace kv {

class QtScreenCapture : public ScreenCapture {
public:
    // The notice is given once, the first time the desktop refuses to hand
    // out pixels (a Wayland session without XWayland, for example).
    void setNoticeSink(std::function<void(const std::string&)> sink) { noticeSink_ = std::move(sink); }

    std::optional<std::uint32_t> activeDisplayCount() override;
    std::unique_ptr<CapturedImage> captureMainDisplay(const Rect& rect) override;
    double backingScaleFactor() override;

    // Gives the notice at once when the session is known not to allow capture.
    void warnIfSessionRefusesCapture();

    static const std::string& captureRefusedNotice();

private:
    void giveNoticeOnce();

    std::function<void(const std::string&)> noticeSink_;
    bool noticeGiven_ = false;
};

} // namespace kv
