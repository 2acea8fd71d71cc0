#include "FileNames.h"

#include "AsciiText.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace kesh::host {

namespace {
// What a file name on the disk may hold.
constexpr std::size_t kMaxFileNameBytes = 255;
// Identifiers are at most 128 UTF-16 units, which escape to at most 128 * 3 * 3
// bytes: keys longer than this are cut to kKeptKeyBytes and marked with a hash.
constexpr std::size_t kLongestWholeKey = 200;
constexpr std::size_t kKeptKeyBytes = 180;
} // namespace

bool isSafeFileName(std::string_view name) {
    if (name.empty() || name.size() > kMaxFileNameBytes || name == "." || name == "..") {
        return false;
    }
    return std::none_of(name.begin(), name.end(), [](char c) { return c == '/' || c == '\\' || c == '\0'; });
}

std::string appletKeyFor(std::string_view identifier) {
    std::string key;
    for (std::size_t i = 0; i < identifier.size(); ++i) {
        const auto c = static_cast<unsigned char>(identifier[i]);
        const bool plain = std::isalnum(c) || c == '-' || c == '_' || (c == '.' && i > 0);
        if (plain) {
            key += static_cast<char>(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", c);
            key += escaped;
        }
    }
    if (key.size() > kLongestWholeKey) {
        std::size_t hash = std::hash<std::string_view>{}(identifier);
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, "~%016zx", hash);
        key = key.substr(0, kKeptKeyBytes) + suffix;
    }
    return key.empty() ? std::string("%00") : key;
}

std::string contentTypeFor(std::string_view fileName) {
    const auto dot = fileName.rfind('.');
    const std::string ext =
        dot == std::string_view::npos ? std::string() : asciiLower(fileName.substr(dot + 1));
    if (ext == "html" || ext == "htm") {
        return "text/html; charset=utf-8";
    }
    if (ext == "css") {
        return "text/css; charset=utf-8";
    }
    if (ext == "js") {
        return "text/javascript; charset=utf-8";
    }
    if (ext == "txt") {
        return "text/plain; charset=utf-8";
    }
    if (ext == "json") {
        return "application/json";
    }
    if (ext == "svg") {
        return "image/svg+xml";
    }
    if (ext == "png" || ext == "gif" || ext == "jpeg" || ext == "webp" || ext == "bmp") {
        return "image/" + ext;
    }
    if (ext == "jpg") {
        return "image/jpeg";
    }
    if (ext == "ico") {
        return "image/x-icon";
    }
    return "application/octet-stream";
}

} // namespace kesh::host
