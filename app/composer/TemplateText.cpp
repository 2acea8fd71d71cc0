#include "composer/TemplateText.h"

namespace kv::composer {

std::string replaceAll(std::string_view text, std::string_view placeholder, std::string_view replacement) {
    if (placeholder.empty())
        return std::string(text);
    std::string result;
    result.reserve(text.size());
    std::size_t position = 0;
    for (auto found = text.find(placeholder); found != std::string_view::npos;
         found = text.find(placeholder, position)) {
        result.append(text, position, found - position);
        result.append(replacement);
        position = found + placeholder.size();
    }
    result.append(text, position);
    return result;
}

} // namespace kv::composer
