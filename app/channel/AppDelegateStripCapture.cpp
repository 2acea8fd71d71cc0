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

bool AppDelegate::captureStrip() {
    const auto displays = platform.screen.activeDisplayCount();
    if (!displays || *displays == 0) {
        if (!showedDisplayErrorMsg)
            platform.runLoop.postToMain([this] {
                appendToLog("recordColors: No displays available.\n");
                showedDisplayErrorMsg = true;
            });
        return false;
    }
    showedDisplayErrorMsg = false;

    if (!myScanRect)
        return false;
    const auto image = platform.screen.captureMainDisplay(*myScanRect);
    if (!image)
        return false;
    for (std::size_t i = 0; i < pixelOffsets.size(); ++i) {
        // A sample outside the image reads as black, that is, unlit.
        const PixelColor color = image->colorAt(pixelOffsets[i], 0).value_or(PixelColor{});
        pixelData[i] = color;
        scanData[i] = channel::isLit(color.red, color.green, color.blue) ? 1 : 0;
    }
    return true;
}

} // namespace kv
