// The shared objects loaded in the process and the version in a library's
// file name, for reporting which display SDK the application runs with.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

// Paths of the loaded shared objects, in the loader's order, links resolved.
std::vector<std::string> loadedLibraryPaths();

// "1.0.0" for ".../libName.so.1.0.0" when the file is the library `libName`;
// none for another library or a file name without a version.
std::optional<std::string> libraryVersionFromPath(std::string_view path, std::string_view libraryName);

// Whether the file at the path is the library, versioned or not.
bool isLibraryFile(std::string_view path, std::string_view libraryName);

} // namespace kv
