// Which version of the display SDK the application runs with.
#pragma once

#include "platform/AppInfo.h"

#include <string>
#include <string_view>
#include <vector>

namespace kv {

inline constexpr std::string_view undeterminedSdkVersion = "Undetermined; not found (this isn't good)";

// The short version of the last loaded bundle with the SDK's identifier; the
// undetermined text when there is none or it carries no version.
std::string findSdkVersion(const std::vector<LoadedBundle>& bundles, std::string_view sdkIdentifier);

} // namespace kv
