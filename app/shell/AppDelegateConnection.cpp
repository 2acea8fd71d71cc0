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
    keshInitialized =
        HalvKeshInit(CFText(config::applicationIdentifier), CFText(config::applicationFriendlyName), nullptr);
    if (!keshInitialized)
        return false;
    appendToLog("Halvorin Kesh Control initialized successfully.\n\n");
    pushUpdatePage();
    return true;
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
