// Web addresses for the desktop browser.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kv::composer {

// Percent-encodes every UTF-8 byte except ASCII letters, digits and
// "-._~!$&'()*+,;=:@/?" (what a URL query may hold), "%" included. None when
// the address is not valid UTF-8.
std::optional<std::string> percentEncodeForQuery(std::string_view address);

// True when the text can be used as a URL as it is: a scheme followed by ":",
// and nothing but characters a URL may hold, with "%" only before two
// hexadecimal digits.
bool isWellFormedUrl(std::string_view address);

} // namespace kv::composer
