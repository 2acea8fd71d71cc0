// Unicode lower-casing that does not depend on the user's locale.
#pragma once

#include <string>
#include <string_view>

namespace kv::composer {

// Maps each code point of UTF-8 text to its simple lower-case form; bytes
// that are not UTF-8 are kept as they are.
std::string lowerCase(std::string_view utf8Text);

} // namespace kv::composer
