// The hand-off loop: the waiting message is recognised and dispatched to its page.
#include "shell/AppDelegate.h"

#include "composer/MessageGrammar.h"

#include <type_traits>

namespace kv {

void AppDelegate::readMsgQueue() {
    if (currentMessage.empty())
        return;
    const std::string message = currentMessage;
    evaluateMessage(message);
    currentMessage.clear();
}

void AppDelegate::evaluateMessage(const std::string& message) {
    if (debugMode)
        appendToLog("evaluating message " + message + "\n");

    const composer::ParsedMessage parsed = composer::parseMessage(message);
    if (std::holds_alternative<composer::MessageWithoutRealm>(parsed)) {
        appendToLog("Error: No realm found in text: " + message + "\n");
        platform.desktop.playSound("Blow");
        return;
    }
    if (const auto* npc = std::get_if<composer::NpcMessage>(&parsed)) {
        if (debugMode) {
            if (npc->classic)
                appendToLog("Classic ");
            appendToLog("NPC #" + npc->npcId + "\n");
        }
        composeNpcPage(npc->npcId, npc->classic);
    } else {
        const auto& character = std::get<composer::CharacterMessage>(parsed);
        composeCharacterPage(character.name, character.realm);
    }
    standingByForNewNameToStart = true;
}

} // namespace kv
