// Desktop services on Linux: freedesktop sound events through libcanberra, a
// speech program, the default browser, and logind for sleep, wake and idle
// inhibition over the system bus.
#pragma once

#include "platform/DesktopServices.h"

#include <QObject>

#include <map>
#include <memory>

struct ca_context;

namespace kv {

// Receives logind's PrepareForSleep signal; a QObject because QtDBus delivers
// signals to slots by name.
class SleepSignalReceiver : public QObject {
    Q_OBJECT
public:
    std::function<void()> willSleep;
    std::function<void()> didWake;

public slots:
    void prepareForSleep(bool sleeping);
};

class QtDesktopServices : public DesktopServices {
public:
    QtDesktopServices();
    ~QtDesktopServices() override;

    void playSound(const std::string& name) override;
    void speak(const std::string& text) override;
    void openUrl(const std::string& address, bool bringToFront) override;
    std::optional<ActivityToken> beginActivity(std::uint64_t options, const std::string& reason) override;
    void endActivity(ActivityToken token) override;
    void observeSleepAndWake(std::function<void()> willSleep, std::function<void()> didWake) override;

    // Where the one notice about sounds that cannot play goes.
    void setNoticeSink(std::function<void(const std::string&)> sink) { noticeSink_ = std::move(sink); }

    // The freedesktop sound event that stands for a system sound name.
    static std::string soundEventFor(const std::string& name);
    // The speech program to start: the first that exists of the candidates, or empty.
    static std::string findSpeechProgram();

private:
    ca_context* sounds_ = nullptr;
    bool soundsTried_ = false;
    bool soundNoticeGiven_ = false;
    std::function<void(const std::string&)> noticeSink_;
    std::unique_ptr<SleepSignalReceiver> sleepReceiver_;
    std::map<ActivityToken, int> inhibitors_; // token -> descriptor that holds the inhibition
    ActivityToken nextToken_ = 1;
};

} // namespace kv
