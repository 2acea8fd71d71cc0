// User defaults kept in memory.
#pragma once

#include "platform/UserDefaults.h"

#include <cstdint>
#include <map>
#include <string>
#include <variant>

namespace kv::fakes {

class FakeUserDefaults : public UserDefaults {
public:
    using Value = std::variant<std::int64_t, float, bool>;
    std::map<std::string, Value> values;
    int synchronizeCount = 0;

    bool hasKey(const std::string& key) const override { return values.count(key) != 0; }
    std::int64_t integerForKey(const std::string& key) const override {
        return visit(key, [](auto v) { return static_cast<std::int64_t>(v); });
    }
    float floatForKey(const std::string& key) const override {
        return visit(key, [](auto v) { return static_cast<float>(v); });
    }
    bool boolForKey(const std::string& key) const override {
        return visit(key, [](auto v) { return v != 0; });
    }
    void setInteger(const std::string& key, std::int64_t value) override { values[key] = value; }
    void setFloat(const std::string& key, float value) override { values[key] = value; }
    void setBool(const std::string& key, bool value) override { values[key] = value; }
    void removeKey(const std::string& key) override { values.erase(key); }
    void synchronize() override { ++synchronizeCount; }

private:
    // Like the platform's store: a number of another type is converted, an absent key reads as zero.
    template <typename F> auto visit(const std::string& key, F convert) const -> decltype(convert(0)) {
        const auto found = values.find(key);
        if (found == values.end())
            return convert(0);
        return std::visit(convert, found->second);
    }
};

} // namespace kv::fakes
