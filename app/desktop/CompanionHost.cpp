#include "desktop/CompanionHost.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace kv {

namespace {

const QString hostProgramName = QStringLiteral("kesh-host");
// How long a host asked to stop may take before it is killed.
constexpr int stopTimeoutMs = 5000;
constexpr int busTimeoutMs = 2000;
// The host's display file is a few lines; more is not one of its files.
constexpr qint64 largestDisplayFile = 64 * 1024;

// An absolute XDG folder variable, else the fallback under the home folder.
std::string userFolder(const char* variable, const char* underHome) {
    if (const char* value = std::getenv(variable); value && value[0] == '/')
        return value;
    const char* home = std::getenv("HOME");
    return std::string(home ? home : "") + "/" + underHome;
}

} // namespace

CompanionHost::CompanionHost(HostStart policy) : policy_(policy) {}

CompanionHost::~CompanionHost() {
    stop();
}

std::string CompanionHost::socketPath() {
    std::string folder = userFolder("XDG_DATA_HOME", ".local/share");
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder + "/Halvorin/TAMBER_GAMEAPP_SDK";
}

// A connection that is refused or finds no socket says no host is there; a
// full backlog still means one listens.
bool CompanionHost::listening() {
    const std::string path = socketPath();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (probe < 0)
        return false;
    const bool answered =
        ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 || errno == EAGAIN;
    ::close(probe);
    return answered;
}

bool CompanionHost::socketPresent() {
    struct stat info {};
    return ::lstat(socketPath().c_str(), &info) == 0 && S_ISSOCK(info.st_mode);
}

std::string CompanionHost::displayAddress() {
    QFile file(
        QString::fromStdString(userFolder("XDG_STATE_HOME", ".local/state") + "/kesh-host/display.json"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QJsonObject display = QJsonDocument::fromJson(file.read(largestDisplayFile)).object();
    // A host that was killed leaves its file behind: its address leads nowhere.
    const auto pid = static_cast<pid_t>(display.value(QStringLiteral("pid")).toInteger());
    if (pid > 0 && ::kill(pid, 0) != 0 && errno == ESRCH)
        return {};
    return display.value(QStringLiteral("url")).toString().toStdString();
}

CompanionHost::Started CompanionHost::start() {
    if (policy_ == HostStart::never)
        return Started::no;
    if (startUserService())
        return Started::userService;
    return startProgram() ? Started::child : Started::no;
}

// The socket unit listens at once; the host itself starts with the first
// connection. Fails without a session bus, a user service manager or the unit.
bool CompanionHost::startUserService() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.systemd1"), QStringLiteral("/org/freedesktop/systemd1"),
        QStringLiteral("org.freedesktop.systemd1.Manager"), QStringLiteral("StartUnit"));
    call << QStringLiteral("kesh-host.socket") << QStringLiteral("replace");
    return bus.call(call, QDBus::Block, busTimeoutMs).type() == QDBusMessage::ReplyMessage;
}

// The program beside this one (the build tree, or the same bin folder), else on the PATH.
bool CompanionHost::startProgram() {
    QString program =
        QStandardPaths::findExecutable(hostProgramName, {QCoreApplication::applicationDirPath()});
    if (program.isEmpty())
        program = QStandardPaths::findExecutable(hostProgramName);
    if (program.isEmpty())
        return false;
    // For phones and tablets on the network too, at the documented port.
    const QStringList arguments{QStringLiteral("--lan")};
    if (policy_ == HostStart::keepRunning)
        return QProcess::startDetached(program, arguments);

    child_ = std::make_unique<QProcess>();
    child_->setProgram(program);
    child_->setArguments(arguments);
    child_->setProcessChannelMode(QProcess::ForwardedChannels);
    // Even when this application is killed, its host does not linger.
    child_->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    QObject::connect(child_.get(), &QProcess::finished, [this](int code) {
        if (noticeSink_)
            noticeSink_("The companion host kesh-host ended (exit code " + std::to_string(code) +
                        "); its messages are on standard error.\n");
    });
    child_->start();
    if (child_->waitForStarted())
        return true;
    child_.reset();
    return false;
}

void CompanionHost::stop() {
    if (!child_)
        return;
    QObject::disconnect(child_.get(), &QProcess::finished, nullptr, nullptr);
    child_->terminate();
    if (!child_->waitForFinished(stopTimeoutMs))
        child_->kill();
    child_->waitForFinished();
    child_.reset();
}

} // namespace kv
