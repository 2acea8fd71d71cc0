// Making text from the screen safe to place inside an HTML page.
#pragma once

#include <string>
#include <string_view>

namespace kv::composer {

// Escapes "<", ">", '"' and "'" so that a stray painter cannot inject markup.
// "&" stays as it is: the game never sends it escaped, and pages have always
// shown names with "&" unchanged.
std::string escapeForHtml(std::string_view text);

} // namespace kv::composer
