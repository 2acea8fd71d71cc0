// Encodes 4-byte-per-pixel bitmaps as PNG.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kesh::host {

// Rows top to bottom, each pixel R, G, B, A. nullopt with a reason when the
// bitmap is empty, does not match its sides, or cannot be encoded.
std::optional<std::vector<std::uint8_t>>
encodeRgbaPng(int width, int height, std::span<const std::uint8_t> rgba, std::string& problem);

} // namespace kesh::host
