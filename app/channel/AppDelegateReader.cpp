// The screen reader's tick: frames into bytes, bytes into messages; and its
// suspension while the system sleeps.
#include "shell/AppDelegate.h"

#include "channel/ByteConfirmation.h"
#include "channel/MessageAssembly.h"
#include "channel/StripFrame.h"
#include "shell/CFText.h"

#include "HalvorinKeshControl.h"

namespace kv {

namespace {

constexpr auto readerInterval = std::chrono::duration<double>(0.05);

} // namespace

void AppDelegate::recordColorsThread() {
    if (suspendScreenReads)
        return;
    decodeStripSample(sampleStrip(myScanRect, pixelOffsets));
}

void AppDelegate::startReader() {
    readerGeometry.publish({myScanRect, pixelOffsets, !suspendScreenReads});
    myTimer2 = platform.runLoop.scheduleSampling(readerInterval, [this]() -> SampleWork {
        // Off the main thread: only the published geometry and the screen seam.
        const auto geometry = readerGeometry.snapshot();
        if (!geometry.reading)
            return {};
        return [this, sample = sampleStrip(geometry.rect, geometry.offsets)] {
            if (!suspendScreenReads)
                decodeStripSample(sample);
            // A calibration that ended meanwhile moves the next samples.
            readerGeometry.publish({myScanRect, pixelOffsets, !suspendScreenReads});
        };
    });
}

void AppDelegate::decodeStripSample(const channel::StripSample& sample) {
    if (!nameInProgress.empty() && lastByteConfirmedAt &&
        sample.takenAt - *lastByteConfirmedAt >= channel::kPartialMessageTimeout) {
        // The next message starts clean: no bytes, no pending frame, no terminator half.
        nameInProgress.clear();
        charSuspectedPhase1.clear();
        charSuspectedPhase2.clear();
        rememberLastChar = 0;
        if (debugMode)
            appendToLog("Discarded a partial message read from the screen: no new byte for 3 seconds.\n");
    }
    if (!applyStripSample(sample))
        return;

    const int value = channel::frameValue(scanData, scanDataFactor);
    const auto accepted =
        channel::confirmFrame(charSuspectedPhase1, charSuspectedPhase2, channel::framePhase(scanData), value);
    if (!accepted)
        return;
    lastByteConfirmedAt = sample.takenAt;

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
    readerGeometry.publish({myScanRect, pixelOffsets, false});
}

void AppDelegate::screenWakesUpFromSleep() {
    if (debugMode)
        appendToLog("Waking from sleep; resuming screen reads.\n");
    suspendScreenReads = false;
    readerGeometry.publish({myScanRect, pixelOffsets, true});
}

} // namespace kv
