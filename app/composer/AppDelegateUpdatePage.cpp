// The update page: the companion display's waiting page, stored with its two images.
#include "shell/AppDelegate.h"

#include "HalvorinKeshControl.h"
#include "composer/PageFilling.h"
#include "shell/CFText.h"

namespace kv {

void AppDelegate::pushUpdatePage() {
    // A missing image is skipped; the page shows without it.
    if (const auto wowPath = platform.app.resourcePath("wow", "gif"))
        if (!HalvKeshAddFileAs(CFText(*wowPath), CFText("wow.gif"), CFText("")))
            logKeshErrorInDebug("pushing Wow.gif");
    if (const auto bouncePath = platform.app.resourcePath("quorbbounce", "gif"))
        if (!HalvKeshAddFileAs(CFText(*bouncePath), CFText("quorbbounce.gif"), CFText("")))
            logKeshErrorInDebug("pushing quorbbounce.gif");

    const auto pageTemplate = readResourceText("update", "html");
    if (!pageTemplate) {
        appendToLog("Error locating update HTML template file. Reinstall Kesh Vistrel\n");
        return;
    }
    const std::string page = composer::fillUpdateTemplate(*pageTemplate, userLanguage);
    if (!HalvKeshAddUTF8StringAs(CFText(page), CFText(myUpdateFileName), CFText("")))
        logKeshErrorInDebug("pushing update.html string");
}

} // namespace kv
