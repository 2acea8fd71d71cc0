// Seam: what the desktop offers besides the window: sounds, speech, the
// browser, keeping the system awake, and sleep/wake notifications.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace kv {

using ActivityToken = std::int64_t;

class DesktopServices {
public:
    virtual ~DesktopServices() = default;
    // Plays a named system sound ("Tink", "Blow"); silently nothing when unavailable.
    virtual void playSound(const std::string& name) = 0;
    // Starts the speech program with the text as its only argument; never waits.
    virtual void speak(const std::string& text) = 0;
    // Opens an address in the default browser, bringing it forward or not.
    virtual void openUrl(const std::string& address, bool bringToFront) = 0;
    // Keeps the system from idle sleep until endActivity; none when unsupported.
    virtual std::optional<ActivityToken> beginActivity(std::uint64_t options, const std::string& reason) = 0;
    virtual void endActivity(ActivityToken token) = 0;
    // Calls willSleep before the system sleeps and didWake when the screens wake.
    virtual void observeSleepAndWake(std::function<void()> willSleep, std::function<void()> didWake) = 0;
};

} // namespace kv
