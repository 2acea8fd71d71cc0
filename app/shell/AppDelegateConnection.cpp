// The companion display's connection: Init again once a missing host
// appears, and closing the connection early from the menu.
#include "shell/AppDelegate.h"

#include "HalvorinKeshControl.h"
#include "shell/CFText.h"
#include "shell/Configuration.h"

namespace kv {

bool AppDelegate::retryKeshInit() {
    if (keshInitialized || keshClosedFromMenu)
        return false;
    if (!initKesh())
        return false;
    pushUpdatePage();
    return true;
}

bool AppDelegate::initKesh() {
    keshInitialized =
        HalvKeshInit(CFText(config::applicationIdentifier), CFText(config::applicationFriendlyName), nullptr);
    if (keshInitialized)
        appendToLog("Halvorin Kesh Control initialized successfully.\n\n");
    return keshInitialized;
}

// Only a restart reconnects; using the item again is harmless.
void AppDelegate::ShutdownKeshMenuClick(UiElement* /*sender*/) {
    HalvKeshShutdown();
    keshInitialized = false;
    keshClosedFromMenu = true;
    if (ShutdownKeshMenuItem)
        ShutdownKeshMenuItem->setTitle("Kesh Control is now shutdown. Quit to restart.");
    if (HalvLogoImg)
        HalvLogoImg->setHidden(true);
    appendToLog("Closed down connection to Halvorin Kesh control.\n");
}

} // namespace kv
