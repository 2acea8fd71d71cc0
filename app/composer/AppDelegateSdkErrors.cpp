// How the composer reports a refused SDK call.
#include "shell/AppDelegate.h"

#include "HalvorinKeshControl.h"

#include <string>

namespace kv {

void AppDelegate::logKeshErrorInDebug(const std::string& doing) {
    if (debugMode)
        appendToLog("KESH error " + doing + ": " + std::to_string(HalvKeshGetLastError()) + "\n");
}

} // namespace kv
