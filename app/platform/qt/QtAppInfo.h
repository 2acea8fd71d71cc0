// What the application knows about itself on Linux: its version, the display
// SDK among the loaded libraries, and its resource folder.
#pragma once

#include "platform/AppInfo.h"

namespace kv {

class QtAppInfo : public AppInfo {
public:
    explicit QtAppInfo(std::string resourceFolder);

    std::string shortVersion() const override;
    std::vector<LoadedBundle> loadedBundles() const override;
    std::optional<std::string> resourcePath(const std::string& name, const std::string& type) const override;

    const std::string& resourceFolder() const { return resourceFolder_; }

    // resources/ next to the executable in the build tree, else
    // <prefix>/share/kesh-vistrel/ of an installed program.
    static std::string defaultResourceFolder();

private:
    std::string resourceFolder_;
};

} // namespace kv
