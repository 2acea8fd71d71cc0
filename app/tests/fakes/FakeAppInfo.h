// Application facts for tests: a version, loaded libraries and a resource folder.
#pragma once

#include "platform/AppInfo.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kv::fakes {

class FakeAppInfo : public AppInfo {
public:
    std::string version = "1.0.0";
    std::vector<LoadedBundle> bundles;
    std::filesystem::path resourceFolder; // empty: no resources at all

    std::string shortVersion() const override { return version; }
    std::vector<LoadedBundle> loadedBundles() const override { return bundles; }
    std::optional<std::string> resourcePath(const std::string& name, const std::string& type) const override {
        if (resourceFolder.empty())
            return std::nullopt;
        const auto path = resourceFolder / (name + "." + type);
        if (!std::filesystem::exists(path))
            return std::nullopt;
        return path.string();
    }
};

} // namespace kv::fakes
