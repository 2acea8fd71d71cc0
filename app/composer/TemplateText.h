// Filling page templates by literal replacement.
#pragma once

#include <string>
#include <string_view>

namespace kv::composer {

// Replaces every occurrence of placeholder (literal, case-sensitive) in one
// pass from the left; the inserted text is not searched again. An empty
// placeholder changes nothing.
std::string replaceAll(std::string_view text, std::string_view placeholder, std::string_view replacement);

} // namespace kv::composer
