#include "PngWriter.h"

#include <png.h>

#include <cstring>

namespace kesh::host {

std::optional<std::vector<std::uint8_t>>
encodeRgbaPng(int width, int height, std::span<const std::uint8_t> rgba, std::string& problem) {
    if (width <= 0 || height <= 0) {
        problem =
            "an image of " + std::to_string(width) + "x" + std::to_string(height) + " pixels has no pixels";
        return std::nullopt;
    }
    if (rgba.size() != std::size_t(width) * std::size_t(height) * 4) {
        problem = "bitmap size does not match its width and height";
        return std::nullopt;
    }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGBA;
    // The first call measures, the second writes.
    png_alloc_size_t size = 0;
    std::vector<std::uint8_t> png;
    bool encoded = png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr) != 0;
    if (encoded) {
        png.resize(size);
        encoded = png_image_write_to_memory(&image, png.data(), &size, 0, rgba.data(), 0, nullptr) != 0;
        png.resize(size);
    }
    if (!encoded) {
        problem = std::string("PNG encoding failed: ") + image.message;
        png_image_free(&image);
        return std::nullopt;
    }
    png_image_free(&image);
    return png;
}

} // namespace kesh::host
