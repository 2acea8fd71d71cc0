// Seam: what the application knows about itself and the libraries it loaded.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kv {

struct LoadedBundle {
    std::string identifier;
    std::optional<std::string> shortVersion;
};

class AppInfo {
public:
    virtual ~AppInfo() = default;
    // The application's short version string.
    virtual std::string shortVersion() const = 0;
    // The library bundles loaded in the process, in the platform's order.
    virtual std::vector<LoadedBundle> loadedBundles() const = 0;
    // Full path of a bundle resource by base name and type ("update", "html"), if present.
    virtual std::optional<std::string> resourcePath(const std::string& name,
                                                    const std::string& type) const = 0;
};

} // namespace kv
