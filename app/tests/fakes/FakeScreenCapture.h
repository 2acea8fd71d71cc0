// A screen made of a pixel grid that tests paint; captures copy from it.
#pragma once

#include "platform/ScreenCapture.h"

#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <utility>

namespace kv::fakes {

class FakeScreenCapture : public ScreenCapture {
public:
    // Unpainted pixels are black; positions outside the captured rectangle have no colour.
    class Image : public CapturedImage {
    public:
        Image(const FakeScreenCapture& screen, const Rect& rect) : screen_(screen), rect_(rect) {}
        std::optional<PixelColor> colorAt(std::int64_t x, std::int64_t y) const override {
            if (x < 0 || y < 0 || x >= std::ceil(rect_.width) || y >= std::ceil(rect_.height))
                return std::nullopt;
            return screen_.pixel(static_cast<std::int64_t>(rect_.x) + x,
                                 static_cast<std::int64_t>(rect_.y) + y);
        }

    private:
        const FakeScreenCapture& screen_;
        Rect rect_;
    };

    std::optional<std::uint32_t> displayCount = 1; // none: the platform reports an error
    bool captureFails = false;
    int captureCount = 0;

    void setPixel(std::int64_t x, std::int64_t y, PixelColor color) { pixels_[{x, y}] = color; }
    void fillRect(std::int64_t x, std::int64_t y, std::int64_t width, std::int64_t height, PixelColor color) {
        for (std::int64_t row = y; row < y + height; ++row)
            for (std::int64_t column = x; column < x + width; ++column)
                setPixel(column, row, color);
    }
    void clear() { pixels_.clear(); }
    PixelColor pixel(std::int64_t x, std::int64_t y) const {
        const auto found = pixels_.find({x, y});
        return found == pixels_.end() ? PixelColor{} : found->second;
    }

    std::optional<std::uint32_t> activeDisplayCount() override { return displayCount; }
    std::unique_ptr<CapturedImage> captureMainDisplay(const Rect& rect) override {
        ++captureCount;
        if (captureFails)
            return nullptr;
        return std::make_unique<Image>(*this, rect);
    }
    double backingScaleFactor() override { return 1.0; }

private:
    std::map<std::pair<std::int64_t, std::int64_t>, PixelColor> pixels_;
};

} // namespace kv::fakes
