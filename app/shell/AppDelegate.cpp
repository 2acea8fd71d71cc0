#include "shell/AppDelegate.h"

#include <utility>

namespace kv {

AppDelegate::AppDelegate(Platform platformServices) : platform(std::move(platformServices)) {}

void AppDelegate::appendToLog(const std::string& text) {
    // The layout always provides the log view; a controller without a window logs nowhere.
    if (myTextScroll)
        myTextScroll->insertAtCursor(text);
}

} // namespace kv
