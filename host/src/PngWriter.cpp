#include "PngWriter.h"

#include <png.h>

#include <cstring>

namespace kesh::host {

bool writeRgbaPng(const std::filesystem::path& path, int width, int height,
                  std::span<const std::uint8_t> rgba, std::string& problem) {
    if (width <= 0 || height <= 0) {
        problem =
            "an image of " + std::to_string(width) + "x" + std::to_string(height) + " pixels has no pixels";
        return false;
    }
    if (rgba.size() != std::size_t(width) * std::size_t(height) * 4) {
        problem = "bitmap size does not match its width and height";
        return false;
    }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGBA;
    const bool written = png_image_write_to_file(&image, path.c_str(), 0, rgba.data(), 0, nullptr) != 0;
    if (!written) {
        problem = std::string("PNG writing failed: ") + image.message;
    }
    png_image_free(&image);
    return written;
}

} // namespace kesh::host
