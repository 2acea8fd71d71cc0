// Demo actions that drive the companion display without the game.
#include "shell/AppDelegate.h"

#include "HalvorinKeshControl.h"
#include "shell/CFText.h"
#include "shell/Configuration.h"

namespace kv {

void AppDelegate::combatTrigger(UiElement* /*sender*/) {
    currentMessage = std::string(config::firstDemoCharacterName) + "-" + std::string(config::demoRealm);
}

void AppDelegate::combatUntrigger(UiElement* /*sender*/) {
    currentMessage = std::string(config::secondDemoCharacterName) + "-" + std::string(config::demoRealm);
}

void AppDelegate::moneyTrigger(UiElement* /*sender*/) {
    currentMessage = std::string(config::npcDemoMessage);
}

void AppDelegate::levelTrigger(UiElement* /*sender*/) {
    if (!HalvKeshSetIndex(CFText(myUpdateFileName)))
        logKeshErrorInDebug("setting update index file");
}

} // namespace kv
