// The application's user defaults in QSettings (organisation "Pellmoor",
// application "KeshVistrel"), under the documented key names.
#pragma once

#include "platform/UserDefaults.h"

#include <QSettings>

namespace kv {

class QtUserDefaults : public UserDefaults {
public:
    QtUserDefaults();

    bool hasKey(const std::string& key) const override;
    std::int64_t integerForKey(const std::string& key) const override;
    float floatForKey(const std::string& key) const override;
    bool boolForKey(const std::string& key) const override;
    void setInteger(const std::string& key, std::int64_t value) override;
    void setFloat(const std::string& key, float value) override;
    void setBool(const std::string& key, bool value) override;
    void removeKey(const std::string& key) override;
    void synchronize() override;

    // The window frame is kept in the same store.
    QSettings& settings() { return settings_; }

private:
    QSettings settings_;
};

} // namespace kv
