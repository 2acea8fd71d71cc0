// Seam: reading pixels of the main display.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

namespace kv {

// A rectangle in global display coordinates (points; origin at the top-left
// corner of the main display, y growing downwards).
struct Rect {
    double x = 0.0;
    double y = 0.0;
    double width = 0.0;
    double height = 0.0;

    bool operator==(const Rect&) const = default;
};

// Colour components in 0.0 ... 1.0.
struct PixelColor {
    double red = 0.0;
    double green = 0.0;
    double blue = 0.0;

    bool operator==(const PixelColor&) const = default;
};

// One captured image, in device pixels.
class CapturedImage {
public:
    virtual ~CapturedImage() = default;
    // The colour at a column and row, or none when the position is outside the image.
    virtual std::optional<PixelColor> colorAt(std::int64_t x, std::int64_t y) const = 0;
};

class ScreenCapture {
public:
    virtual ~ScreenCapture() = default;
    // Number of active displays, or none when the platform reports an error.
    virtual std::optional<std::uint32_t> activeDisplayCount() = 0;
    // Captures a rectangle of the main display; null when no image could be made.
    virtual std::unique_ptr<CapturedImage> captureMainDisplay(const Rect& rect) = 0;
    // Device pixels per point of the main screen (logged by calibration only).
    virtual double backingScaleFactor() = 0;
};

} // namespace kv
