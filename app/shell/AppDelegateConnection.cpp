// Closing the companion display's connection early, from the menu.
#include "shell/AppDelegate.h"

#include "HalvorinKeshControl.h"

namespace kv {

// Only a restart reconnects; using the item again is harmless.
void AppDelegate::ShutdownKeshMenuClick(UiElement* /*sender*/) {
    HalvKeshShutdown();
    if (ShutdownKeshMenuItem)
        ShutdownKeshMenuItem->setTitle("Kesh Control is now shutdown. Quit to restart.");
    if (HalvLogoImg)
        HalvLogoImg->setHidden(true);
    appendToLog("Closed down connection to Halvorin Kesh control.\n");
}

} // namespace kv
