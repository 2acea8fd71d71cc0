// Numbers as the calibration and debug log lines write them: the shortest
// decimal that reads back exactly, with at least one digit after the point
// (24.0, 97.5), and rectangles as "(x, y, width, height)".
#pragma once

#include <string>

namespace kv::channel {

std::string decimalText(double value);
std::string decimalText(float value);

std::string rectangleText(double x, double y, double width, double height);

} // namespace kv::channel
