// Strip capture: the stored geometry, the sample positions, and one capture
// of the strip into lit and dark samples.
#include "shell/AppDelegate.h"

#include "channel/ColorCode.h"
#include "channel/SampleOffsets.h"
#include "channel/ScanGeometry.h"

namespace kv {

bool AppDelegate::loadCalibration() {
    const float storedWidth = platform.defaults.floatForKey("scanWidth");
    scanWidth = static_cast<double>(storedWidth);
    scanHorizOffset = platform.defaults.integerForKey("scanHorizOffset");
    scanVertOffset = platform.defaults.integerForKey("scanVertOffset");
    if (channel::isStoredGeometryUsable(storedWidth, scanHorizOffset))
        return false;
    scanWidth = channel::kDefaultScanGeometry.width;
    scanHorizOffset = channel::kDefaultScanGeometry.horizOffset;
    scanVertOffset = channel::kDefaultScanGeometry.vertOffset;
    return true;
}

void AppDelegate::computePixelOffsets() {
    pixelOffsets = channel::computeSampleOffsets(scanWidth);
}

channel::StripSample AppDelegate::sampleStrip(const std::optional<Rect>& rect,
                                              const channel::SampleOffsets& offsets) {
    using Outcome = channel::StripSample::Outcome;
    channel::StripSample sample;
    sample.takenAt = platform.runLoop.now();
    const auto displays = platform.screen.activeDisplayCount();
    if (!displays || *displays == 0) {
        sample.outcome = Outcome::NoDisplay;
        return sample;
    }
    const auto image = rect ? platform.screen.captureMainDisplay(*rect) : nullptr;
    if (!image)
        return sample;
    for (std::size_t i = 0; i < offsets.size(); ++i)
        // A sample outside the image reads as black, that is, unlit.
        sample.colors[i] = image->colorAt(offsets[i], 0).value_or(PixelColor{});
    sample.outcome = Outcome::Sampled;
    return sample;
}

bool AppDelegate::applyStripSample(const channel::StripSample& sample) {
    using Outcome = channel::StripSample::Outcome;
    if (sample.outcome == Outcome::NoDisplay) {
        if (!showedDisplayErrorMsg)
            platform.runLoop.postToMain([this] {
                appendToLog("recordColors: No displays available.\n");
                showedDisplayErrorMsg = true;
            });
        return false;
    }
    showedDisplayErrorMsg = false;
    if (sample.outcome != Outcome::Sampled)
        return false;
    pixelData = sample.colors;
    for (std::size_t i = 0; i < pixelData.size(); ++i)
        scanData[i] = channel::isLit(pixelData[i].red, pixelData[i].green, pixelData[i].blue) ? 1 : 0;
    return true;
}

bool AppDelegate::captureStrip() {
    return applyStripSample(sampleStrip(myScanRect, pixelOffsets));
}

} // namespace kv
