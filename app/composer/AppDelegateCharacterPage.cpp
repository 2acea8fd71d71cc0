// The character page: pushed to the companion display, optionally opened on the desktop.
#include "shell/AppDelegate.h"

#include "HalvorinKeshControl.h"
#include "composer/PageFilling.h"
#include "composer/PageTables.h"
#include "composer/UrlText.h"
#include "composer/WebRealm.h"
#include "shell/CFText.h"

namespace kv {

void AppDelegate::composeCharacterPage(const std::string& name, const std::string& realm) {
    const std::string webRealm = composer::makeWebRealm(realm);
    if (debugMode)
        appendToLog("Character:" + name + "; realm:" + realm + "; web realm:" + webRealm + "\n");

    const std::string fileName(composer::characterTemplateName(landingPageInt));
    const auto pageTemplate = readResourceText(fileName.substr(0, fileName.rfind('.')), "html");
    if (!pageTemplate) {
        appendToLog("Error! Unable to open the Vistrel template file. Please reinstall Kesh Vistrel.\n");
        return;
    }
    const std::string page =
        composer::fillCharacterTemplate(*pageTemplate, name, webRealm, userLanguage, landingPageInt);

    if (HalvKeshAddUTF8StringAs(CFText(page), CFText(fileName), CFText(""))) {
        if (!HalvKeshSetIndex(CFText(fileName)))
            logKeshErrorInDebug("setting player index file");
    } else {
        logKeshErrorInDebug("pushing player string");
    }

    if (showOnDesktopToo)
        openCharacterPageOnDesktop(name, webRealm);
}

void AppDelegate::openCharacterPageOnDesktop(const std::string& name, const std::string& webRealm) {
    const std::string address =
        composer::characterDesktopAddress(name, webRealm, userLanguage, landingPageInt);
    if (debugMode)
        appendToLog("opening URL " + address + "\n");
    const auto encoded = composer::percentEncodeForQuery(address);
    if (!encoded) {
        if (debugMode)
            appendToLog("Error creating encoded URL from " + address + " for desktop browser\n");
        return;
    }
    if (debugMode)
        appendToLog("  encoded as " + *encoded + "\n");
    if (!composer::isWellFormedUrl(*encoded)) {
        if (debugMode)
            appendToLog("Error creating URL from " + *encoded + " for desktop browser\n");
        return;
    }
    platform.desktop.openUrl(*encoded, true);
}

} // namespace kv
