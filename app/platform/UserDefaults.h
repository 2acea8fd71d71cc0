// Seam: the application's persisted key/value settings.
#pragma once

#include <cstdint>
#include <string>

namespace kv {

// Absent keys read as 0, 0.0 or false, as the platform's defaults store does.
class UserDefaults {
public:
    virtual ~UserDefaults() = default;
    virtual bool hasKey(const std::string& key) const = 0;
    virtual std::int64_t integerForKey(const std::string& key) const = 0;
    virtual float floatForKey(const std::string& key) const = 0;
    virtual bool boolForKey(const std::string& key) const = 0;
    virtual void setInteger(const std::string& key, std::int64_t value) = 0;
    virtual void setFloat(const std::string& key, float value) = 0;
    virtual void setBool(const std::string& key, bool value) = 0;
    virtual void removeKey(const std::string& key) = 0;
    // Writes pending changes to disk.
    virtual void synchronize() = 0;
};

} // namespace kv
