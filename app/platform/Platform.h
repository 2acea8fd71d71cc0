// The platform services the controller reaches, gathered for its constructor.
#pragma once

#include "platform/AppInfo.h"
#include "platform/DesktopServices.h"
#include "platform/RunLoop.h"
#include "platform/ScreenCapture.h"
#include "platform/UserDefaults.h"

namespace kv {

struct Platform {
    ScreenCapture& screen;
    UserDefaults& defaults;
    DesktopServices& desktop;
    RunLoop& runLoop;
    AppInfo& app;
};

} // namespace kv
