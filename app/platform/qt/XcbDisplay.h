// The X requests that reading the strip from a window needs, on a connection
// of its own (an xcb connection may be used from any thread, and Qt's own
// connection stays out of it).
#pragma once

#include "platform/ScreenCapture.h"

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct xcb_connection_t;

namespace kv {

struct XWindowInfo {
    std::uint32_t id = 0;
    std::string instance;  // WM_CLASS: the instance name
    std::string className; // WM_CLASS: the class name
    std::string title;     // _NET_WM_NAME, else WM_NAME
    bool viewable = false;
    std::int64_t area = 0;
};

class XcbDisplay {
public:
    // Connects to $DISPLAY; nothing works when that fails (see `connected`).
    XcbDisplay();
    ~XcbDisplay();
    XcbDisplay(const XcbDisplay&) = delete;
    XcbDisplay& operator=(const XcbDisplay&) = delete;

    bool connected() const;
    std::uint32_t root() const { return root_; }

    // Every window with a class or a title from the root down a few levels,
    // far enough to reach the clients inside a window manager's frames.
    std::vector<XWindowInfo> namedWindows();

    // The pixels of `rect` in the window's own coordinates (the root's are the
    // screen's), read from the window itself. Pixels outside the window or
    // off the screen have no colour. Null when there is no image; `gone` is
    // set when the window no longer exists.
    std::unique_ptr<CapturedImage> grab(std::uint32_t window, const Rect& rect, bool& gone);

private:
    struct Area {
        int x = 0;
        int y = 0;
        int width = 0;
        int height = 0;
    };
    // The part of `wanted` the server can read: inside the window and the screen.
    Area readableArea(std::uint32_t window, const Area& wanted, bool& gone) const;

    xcb_connection_t* connection_ = nullptr;
    std::uint32_t root_ = 0;
    int screenWidth_ = 0;
    int screenHeight_ = 0;
    std::uint32_t netWmName_ = 0;
    std::map<std::uint32_t, std::array<std::uint32_t, 3>> visualMasks_; // red, green, blue
    std::map<int, std::array<int, 2>> pixmapFormats_;                   // by depth: bits per pixel, row pad
    bool bigEndian_ = false;
};

} // namespace kv
