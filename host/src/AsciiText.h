// Protocol words (header names, schemes, host names, tag names, extensions)
// compare without regard to ASCII case and whatever the process's locale.
#pragma once

#include <string>
#include <string_view>

namespace kesh::host {

inline std::string asciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

// Without the spaces and tabs around it, as HTTP header values are read.
inline std::string_view trimBlanks(std::string_view text) {
    const auto begin = text.find_first_not_of(" \t");
    if (begin == std::string_view::npos) {
        return {};
    }
    return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

} // namespace kesh::host
