// Files and folders only this user may read: the host's data, its state and
// its socket folder. Everything here refuses to follow a link planted where
// the host writes, and reads through one descriptor that it checks itself.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace kesh::host {

// Creates `folder` (and its parents) for this user only, or checks an
// existing one: a folder of another user is refused, and one that group or
// others may use is tightened to 0700 (with a log line). False with a reason.
bool preparePrivateFolder(const std::filesystem::path& folder, std::string& problem);

// The bytes of a regular file, read through one descriptor: whatever the
// path names when it is opened is what is checked and read, so swapping it
// for a device or a link afterwards changes nothing. At most `maxBytes`;
// a larger file, a non-regular file or a read error gives nullopt with a reason.
// `followLink`: whether a link as the last part of the path is followed.
std::optional<std::string> readRegularFile(const std::filesystem::path& path, std::uintmax_t maxBytes,
                                           bool followLink, std::string& problem);

// Writes `bytes` to `target` as a whole: into a fresh temporary file (mode
// 0600, created exclusively, never through a link) in `scratchFolder`, then
// renamed into place. A failed write is reported and leaves no file behind.
bool writeFileAtomically(const std::filesystem::path& scratchFolder, const std::filesystem::path& target,
                         std::span<const std::uint8_t> bytes, std::string& problem);

// Random bytes from the kernel, as lowercase hex (2 digits a byte).
std::string randomHex(std::size_t bytes);

} // namespace kesh::host
