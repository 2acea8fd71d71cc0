#include "platform/qt/QtDesktopServices.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include <alsa/asoundlib.h>
#include <canberra.h>
#include <fcntl.h>
#include <unistd.h>

#include <utility>

namespace kv {

namespace {

const QString logindService = QStringLiteral("org.freedesktop.login1");
const QString logindPath = QStringLiteral("/org/freedesktop/login1");
const QString logindManager = QStringLiteral("org.freedesktop.login1.Manager");

// A missing or busy logind must not hold up the launch for long.
constexpr int busTimeoutMs = 2000;

void ignoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

} // namespace

void SleepSignalReceiver::prepareForSleep(bool sleeping) {
    const auto& handler = sleeping ? willSleep : didWake;
    if (handler)
        handler();
}

QtDesktopServices::QtDesktopServices() = default;

QtDesktopServices::~QtDesktopServices() {
    for (const auto& [token, fd] : inhibitors_)
        ::close(fd);
    if (sounds_)
        ca_context_destroy(sounds_);
}

std::string QtDesktopServices::soundEventFor(const std::string& name) {
    if (name == "Blow")
        return "dialog-error";
    if (name == "Tink")
        return "message";
    return "bell";
}

// No audio device, no sound theme or no sound server: silence, one line in
// the log, and never an error. ALSA, which libcanberra may use, would write
// its complaints to standard error on every try; they are dropped.
void QtDesktopServices::playSound(const std::string& name) {
    if (!soundsTried_) {
        soundsTried_ = true;
        snd_lib_error_set_handler(ignoreAlsaError);
        if (ca_context_create(&sounds_) != CA_SUCCESS)
            sounds_ = nullptr;
    }
    const std::string event = soundEventFor(name);
    const int result = sounds_ ? ca_context_play(sounds_, 0, CA_PROP_EVENT_ID, event.c_str(),
                                                 CA_PROP_EVENT_DESCRIPTION, name.c_str(), nullptr)
                               : CA_ERROR_NOTAVAILABLE;
    if (result == CA_SUCCESS || std::exchange(soundNoticeGiven_, true) || !noticeSink_)
        return;
    noticeSink_(std::string("No sound: ") + ca_strerror(result) +
                " (sounds need a sound theme such as sound-theme-freedesktop and a working sound device).\n");
}

std::string QtDesktopServices::findSpeechProgram() {
    if (QFileInfo(QStringLiteral("/usr/bin/say")).isExecutable())
        return "/usr/bin/say";
    for (const char* candidate : {"spd-say", "espeak-ng"}) {
        const QString found = QStandardPaths::findExecutable(QString::fromLatin1(candidate));
        if (!found.isEmpty())
            return found.toStdString();
    }
    return {};
}

// Started without a shell and never waited for; without a speech program the
// application simply stays silent.
void QtDesktopServices::speak(const std::string& text) {
    const std::string program = findSpeechProgram();
    if (program.empty())
        return;
    QProcess::startDetached(QString::fromStdString(program), {QString::fromStdString(text)});
}

// The desktop decides whether the browser comes forward.
void QtDesktopServices::openUrl(const std::string& address, bool) {
    QDesktopServices::openUrl(QUrl(QString::fromStdString(address), QUrl::StrictMode));
}

std::optional<ActivityToken> QtDesktopServices::beginActivity(std::uint64_t, const std::string& reason) {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return std::nullopt;
    QDBusMessage call =
        QDBusMessage::createMethodCall(logindService, logindPath, logindManager, QStringLiteral("Inhibit"));
    call << QStringLiteral("idle") << QStringLiteral("Kesh Vistrel") << QString::fromStdString(reason)
         << QStringLiteral("block");
    const QDBusMessage reply = bus.call(call, QDBus::Block, busTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    const auto descriptor = reply.arguments().constFirst().value<QDBusUnixFileDescriptor>();
    if (!descriptor.isValid())
        return std::nullopt;
    // The inhibition lasts as long as a descriptor of it stays open.
    const int fd = ::fcntl(descriptor.fileDescriptor(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0)
        return std::nullopt;
    const ActivityToken token = nextToken_++;
    inhibitors_.emplace(token, fd);
    return token;
}

void QtDesktopServices::endActivity(ActivityToken token) {
    const auto found = inhibitors_.find(token);
    if (found == inhibitors_.end())
        return;
    ::close(found->second);
    inhibitors_.erase(found);
}

void QtDesktopServices::observeSleepAndWake(std::function<void()> willSleep, std::function<void()> didWake) {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return;
    sleepReceiver_ = std::make_unique<SleepSignalReceiver>();
    sleepReceiver_->willSleep = std::move(willSleep);
    sleepReceiver_->didWake = std::move(didWake);
    bus.connect(logindService, logindPath, logindManager, QStringLiteral("PrepareForSleep"),
                sleepReceiver_.get(), SLOT(prepareForSleep(bool)));
}

} // namespace kv
