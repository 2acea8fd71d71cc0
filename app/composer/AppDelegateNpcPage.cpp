// The NPC page: pushed to the companion display, optionally opened on the desktop.
#include "shell/AppDelegate.h"

#include "HalvorinKeshControl.h"
#include "composer/PageFilling.h"
#include "composer/UrlText.h"
#include "shell/CFText.h"

namespace kv {

void AppDelegate::composeNpcPage(const std::string& npcId, bool classic) {
    const auto pageTemplate = readResourceText("wowhead", "html");
    if (!pageTemplate) {
        appendToLog("Error! Unable to open the Wowhead template file. Please reinstall Kesh Vistrel.\n");
        return;
    }
    const std::string page = composer::fillNpcTemplate(*pageTemplate, npcId, userLanguage, classic);

    if (HalvKeshAddUTF8StringAs(CFText(page), CFText("wowhead.html"), CFText(""))) {
        if (!HalvKeshSetIndex(CFText("wowhead.html")))
            logKeshErrorInDebug("setting NPC index file");
    } else {
        logKeshErrorInDebug("pushing NPC string");
    }

    if (!showOnDesktopToo)
        return;
    const std::string address = composer::npcDesktopAddress(npcId, userLanguage, classic);
    if (debugMode)
        appendToLog("opening URL " + address + "\n");
    if (!composer::isWellFormedUrl(address)) {
        if (debugMode)
            appendToLog("Error creating URL from " + address + " for desktop browser\n");
        return;
    }
    platform.desktop.openUrl(address, false); // the player stays in the game
}

} // namespace kv
