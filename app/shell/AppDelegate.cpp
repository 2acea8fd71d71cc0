#include "shell/AppDelegate.h"

#include <CoreFoundation/Utf.h>

#include <fstream>
#include <iterator>
#include <utility>

namespace kv {

AppDelegate::AppDelegate(Platform platformServices) : platform(std::move(platformServices)) {}

void AppDelegate::appendToLog(const std::string& text) {
    // The layout always provides the log view; a controller without a window logs nowhere.
    if (myTextScroll)
        myTextScroll->insertAtCursor(text);
}

std::optional<std::string> AppDelegate::readResourceText(const std::string& name,
                                                         const std::string& type) const {
    const auto path = platform.app.resourcePath(name, type);
    if (!path)
        return std::nullopt;
    std::ifstream file(*path, std::ios::binary);
    if (!file)
        return std::nullopt;
    std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (file.bad() || !kvcf::isValidUtf8(text))
        return std::nullopt;
    return text;
}

void AppDelegate::bringHelpWindowForward() {
    if (helpWindow)
        helpWindow->bringToFrontAndMakeKey();
}

} // namespace kv
