#include "platform/qt/LoadedLibraries.h"

#include <link.h>

#include <algorithm>
#include <filesystem>

namespace kv {

namespace {

std::string_view fileNameOf(std::string_view path) {
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The part after "lib<name>.so", or none when the file is not that library.
std::optional<std::string_view> suffixAfterSoName(std::string_view path, std::string_view libraryName) {
    const std::string_view file = fileNameOf(path);
    const std::string stem = "lib" + std::string(libraryName) + ".so";
    if (file.substr(0, stem.size()) != stem)
        return std::nullopt;
    const std::string_view rest = file.substr(stem.size());
    if (!rest.empty() && rest.front() != '.')
        return std::nullopt; // another library whose name starts the same
    return rest;
}

bool isVersionText(std::string_view text) {
    if (text.empty() || text.front() == '.' || text.back() == '.')
        return false;
    bool previousDot = false;
    for (const char c : text) {
        if (c == '.') {
            if (previousDot)
                return false;
            previousDot = true;
        } else if (c >= '0' && c <= '9') {
            previousDot = false;
        } else {
            return false;
        }
    }
    return true;
}

} // namespace

std::vector<std::string> loadedLibraryPaths() {
    std::vector<std::string> paths;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
            auto& found = *static_cast<std::vector<std::string>*>(data);
            if (info->dlpi_name && info->dlpi_name[0] != '\0') {
                std::error_code error;
                // The loader names the file by its SONAME link; the versioned name is behind it.
                const auto resolved = std::filesystem::canonical(info->dlpi_name, error);
                found.push_back(error ? std::string(info->dlpi_name) : resolved.string());
            }
            return 0;
        },
        &paths);
    return paths;
}

bool isLibraryFile(std::string_view path, std::string_view libraryName) {
    const auto rest = suffixAfterSoName(path, libraryName);
    return rest && (rest->empty() || isVersionText(rest->substr(1)));
}

std::optional<std::string> libraryVersionFromPath(std::string_view path, std::string_view libraryName) {
    const auto rest = suffixAfterSoName(path, libraryName);
    if (!rest || rest->empty() || !isVersionText(rest->substr(1)))
        return std::nullopt;
    return std::string(rest->substr(1));
}

} // namespace kv
