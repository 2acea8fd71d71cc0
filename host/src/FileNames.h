// Names that become paths under the host's data folder.
#pragma once

#include <string>
#include <string_view>

namespace kesh::host {

// True when an applet's file name names a file directly inside its folder:
// not empty, not "." or "..", no '/', '\\' or NUL, at most 255 bytes.
bool isSafeFileName(std::string_view name);

// A folder name for an applet identifier: letters, digits, '.', '-' and '_'
// are kept, every other byte becomes "%XX", and a leading '.' too, so
// distinct identifiers never share a folder and none is hidden or "..".
std::string appletKeyFor(std::string_view identifier);

// The HTTP content type for a stored file, from its extension.
std::string contentTypeFor(std::string_view fileName);

} // namespace kesh::host
