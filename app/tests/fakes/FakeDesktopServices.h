// Desktop services that record what the application asked for.
#pragma once

#include "platform/DesktopServices.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kv::fakes {

class FakeDesktopServices : public DesktopServices {
public:
    struct OpenedUrl {
        std::string address;
        bool bringToFront;
    };
    std::vector<std::string> sounds;
    std::vector<std::string> spoken;
    std::vector<OpenedUrl> opened;
    std::vector<std::string> activities; // their reasons
    std::vector<ActivityToken> endedActivities;
    std::function<void()> willSleep;
    std::function<void()> didWake;

    void playSound(const std::string& name) override { sounds.push_back(name); }
    void speak(const std::string& text) override { spoken.push_back(text); }
    void openUrl(const std::string& address, bool bringToFront) override {
        opened.push_back({address, bringToFront});
    }
    std::optional<ActivityToken> beginActivity(std::uint64_t, const std::string& reason) override {
        activities.push_back(reason);
        return static_cast<ActivityToken>(activities.size());
    }
    void endActivity(ActivityToken token) override { endedActivities.push_back(token); }
    void observeSleepAndWake(std::function<void()> sleep, std::function<void()> wake) override {
        willSleep = std::move(sleep);
        didWake = std::move(wake);
    }
};

} // namespace kv::fakes
