// The debug, help and test commands.
#include "shell/AppDelegate.h"

#include "channel/DecimalText.h"
#include "shell/Configuration.h"

namespace kv {

void AppDelegate::debugMenuItem(MenuItem* sender) {
    debugMode = !debugMode;
    if (sender)
        sender->setState(debugMode);
    if (debugMode) {
        const Rect rect = myScanRect.value_or(Rect{});
        appendToLog("Debug mode active.\n");
        appendToLog("The scanRect is " + channel::rectangleText(rect.x, rect.y, rect.width, rect.height) +
                    "\n");
    } else {
        appendToLog("Debug mode off.\n");
    }
    confirmCalibrate = true;
}

void AppDelegate::helpMenuItem(UiElement* /*sender*/) {
    bringHelpWindowForward();
    confirmCalibrate = true;
}

void AppDelegate::myBtnClicked(UiElement* /*sender*/) {
    platform.runLoop.postToMain([this] { bringHelpWindowForward(); });
    confirmCalibrate = true;
}

void AppDelegate::testButton(UiElement* /*sender*/) {
    appendToLog("Pushing " + std::string(config::firstDemoCharacterName) +
                "'s Vistrel Page (use Americas realm).\n");
    currentMessage = std::string(config::firstDemoCharacterName) + "-" + std::string(config::demoRealm);
    confirmCalibrate = true;
}

} // namespace kv
