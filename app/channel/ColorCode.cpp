#include "channel/ColorCode.h"

namespace kv::channel {

bool isComponentLit(double component) {
    return component >= kLitThreshold;
}

bool isLit(double red, double green, double blue) {
    return isComponentLit(red) || isComponentLit(green) || isComponentLit(blue);
}

int classifyColor(double red, double green, double blue) {
    // Indexed by the lit bits: red 1, green 2, blue 4. The codes do not follow
    // the bits, because the add-on's pattern was designed around these names.
    static constexpr int kCodeByLitBits[8] = {kBlack, kRed, kGreen, kYellow, kBlue, kMagenta, kCyan, kWhite};
    const int bits =
        (isComponentLit(red) ? 1 : 0) | (isComponentLit(green) ? 2 : 0) | (isComponentLit(blue) ? 4 : 0);
    return kCodeByLitBits[bits];
}

} // namespace kv::channel
