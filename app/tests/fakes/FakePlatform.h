// Every fake in one place, wired into a controller the way the platform wires the real window.
#pragma once

#include "FakeRunLoop.h"
#include "FakeScreenCapture.h"
#include "FakeWindowElements.h"

#include "platform/AppInfo.h"
#include "platform/DesktopServices.h"
#include "platform/Platform.h"
#include "platform/UserDefaults.h"
#include "shell/AppDelegate.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace kv::fakes {

// A version, loaded libraries and a resource folder.
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

// Desktop services that record what the application asked for.
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

// User defaults kept in memory.
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

struct FakePlatform {
    FakeScreenCapture screen;
    FakeUserDefaults defaults;
    FakeDesktopServices desktop;
    FakeRunLoop runLoop;
    FakeAppInfo app;

    FakeLogView log;
    FakeWindow mainWindow;
    FakeWindow helpWindow;
    FakePopUpButton languageMenu{{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}};
    FakePopUpButton landingPageMenu{{1, 2, 3, 4}};
    FakeCheckBox showDesktopToo;
    FakeMenuItem shutdownMenuItem;
    FakeMenuItem debugMenuItem;
    FakeImageView logo;
    FakeRichTextView helpText;

    Platform platform() { return Platform{screen, defaults, desktop, runLoop, app}; }

    void attach(AppDelegate& controller) {
        controller.myTextScroll = &log;
        controller.mainWindow = &mainWindow;
        controller.helpWindow = &helpWindow;
        controller.languageMenu = &languageMenu;
        controller.landingPageMenu = &landingPageMenu;
        controller.showDesktopToo = &showDesktopToo;
        controller.ShutdownKeshMenuItem = &shutdownMenuItem;
        controller.HalvLogoImg = &logo;
        controller.helpTextView = &helpText;
    }
};

} // namespace kv::fakes
