// The screen reader's tick: frames into bytes, bytes into messages; and its
// suspension while the system sleeps.
#include "shell/AppDelegate.h"

#include "channel/ByteConfirmation.h"
#include "channel/MessageAssembly.h"
#include "channel/StripFrame.h"
#include "shell/CFText.h"

#include "HalvorinKeshControl.h"

namespace kv {

void AppDelegate::recordColorsThread() {
    if (suspendScreenReads)
        return;
    if (!captureStrip())
        return;

    const int value = channel::frameValue(scanData, scanDataFactor);
    const auto accepted =
        channel::confirmFrame(charSuspectedPhase1, charSuspectedPhase2, channel::framePhase(scanData), value);
    if (!accepted)
        return;

    const channel::AcceptedByte result = channel::acceptByte(nameInProgress, rememberLastChar, *accepted);
    if (result.discardedOverflow && debugMode)
        appendToLog("Discarded " + std::to_string(channel::kMaxMessageBytes) +
                    " bytes read from the screen without a message end.\n");
    switch (result.outcome) {
    case channel::ByteOutcome::MessageComplete:
        currentMessage = result.text;
        break;
    case channel::ByteOutcome::Collected:
        if (standingByForNewNameToStart) {
            // The result is not used: a display that is not connected must not stop the reader.
            HalvKeshSetIndex(CFText(myUpdateFileName));
            standingByForNewNameToStart = false;
        }
        break;
    case channel::ByteOutcome::DroppedInvalid:
        if (debugMode)
            appendToLog("Dropped a message read from the screen that was not valid UTF-8.\n");
        break;
    case channel::ByteOutcome::Ignored:
    case channel::ByteOutcome::TooShortToFinish:
        break;
    }
}

void AppDelegate::screenAboutToSleep() {
    if (debugMode)
        appendToLog("Going to sleep; suspending screen reads.\n");
    suspendScreenReads = true;
}

void AppDelegate::screenWakesUpFromSleep() {
    if (debugMode)
        appendToLog("Waking from sleep; resuming screen reads.\n");
    suspendScreenReads = false;
}

} // namespace kv
