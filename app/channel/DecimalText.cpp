#include "channel/DecimalText.h"

#include <charconv>
#include <cmath>

namespace kv::channel {

namespace {

template <typename Number> std::string shortestDecimal(Number value) {
    if (std::isnan(value))
        return "nan";
    if (std::isinf(value))
        return value < 0 ? "-inf" : "inf";
    // Fixed notation, shortest round trip: 1e20 has 21 digits, far below this.
    char buffer[400];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (error != std::errc())
        return "?";
    std::string text(buffer, end);
    if (text.find('.') == std::string::npos)
        text += ".0";
    return text;
}

} // namespace

std::string decimalText(double value) {
    return shortestDecimal(value);
}

std::string decimalText(float value) {
    return shortestDecimal(value);
}

std::string rectangleText(double x, double y, double width, double height) {
    return "(" + decimalText(x) + ", " + decimalText(y) + ", " + decimalText(width) + ", " +
           decimalText(height) + ")";
}

} // namespace kv::channel
