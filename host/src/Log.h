// One line at a time to standard error, from any thread.
#pragma once

#include <string_view>

namespace kesh::host {

void logLine(std::string_view line);

} // namespace kesh::host
