// Writes 4-byte-per-pixel bitmaps as PNG files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace kesh::host {

// Rows top to bottom, each pixel R, G, B, A. Returns false with a reason
// when the bitmap is empty, too short, or the file cannot be written.
bool writeRgbaPng(const std::filesystem::path& path, int width, int height,
                  std::span<const std::uint8_t> rgba, std::string& problem);

} // namespace kesh::host
