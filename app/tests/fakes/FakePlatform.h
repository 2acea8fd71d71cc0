// Every fake in one place, wired into a controller the way the platform
// wires the real elements when the window layout loads.
#pragma once

#include "FakeAppInfo.h"
#include "FakeDesktopServices.h"
#include "FakeRunLoop.h"
#include "FakeScreenCapture.h"
#include "FakeUserDefaults.h"
#include "FakeWindowElements.h"

#include "platform/Platform.h"
#include "shell/AppDelegate.h"

namespace kv::fakes {

struct FakePlatform {
    FakeScreenCapture screen;
    FakeUserDefaults defaults;
    FakeDesktopServices desktop;
    FakeRunLoop runLoop;
    FakeAppInfo app;

    FakeLogView log;
    FakeWindow mainWindow;
    FakeWindow helpWindow;
    FakePopUpButton languageMenu{{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}};
    FakePopUpButton landingPageMenu{{1, 2, 3, 4}};
    FakeCheckBox showDesktopToo;
    FakeMenuItem shutdownMenuItem;
    FakeMenuItem debugMenuItem;
    FakeImageView logo;
    FakeRichTextView helpText;

    Platform platform() { return Platform{screen, defaults, desktop, runLoop, app}; }

    void attach(AppDelegate& controller) {
        controller.myTextScroll = &log;
        controller.mainWindow = &mainWindow;
        controller.helpWindow = &helpWindow;
        controller.languageMenu = &languageMenu;
        controller.landingPageMenu = &landingPageMenu;
        controller.showDesktopToo = &showDesktopToo;
        controller.ShutdownKeshMenuItem = &shutdownMenuItem;
        controller.HalvLogoImg = &logo;
        controller.helpTextView = &helpText;
    }
};

} // namespace kv::fakes
