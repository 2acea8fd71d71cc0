#include "shell/SdkVersion.h"

namespace kv {

std::string findSdkVersion(const std::vector<LoadedBundle>& bundles, std::string_view sdkIdentifier) {
    const LoadedBundle* lastMatch = nullptr;
    for (const auto& bundle : bundles)
        if (bundle.identifier == sdkIdentifier)
            lastMatch = &bundle;
    if (!lastMatch || !lastMatch->shortVersion)
        return std::string(undeterminedSdkVersion);
    return *lastMatch->shortVersion;
}

} // namespace kv
