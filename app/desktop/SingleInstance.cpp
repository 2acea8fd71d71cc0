#include "desktop/SingleInstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

namespace kv {

namespace {

// The first instance may still be on its way to listening.
constexpr int reachTimeoutMs = 5000;
constexpr int retryPauseMs = 50;

} // namespace

SingleInstance::SingleInstance() {
    const QDir runtime(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation));
    serverName_ = runtime.filePath(QStringLiteral("kesh-vistrel.instance"));
    lock_ = std::make_unique<QLockFile>(runtime.filePath(QStringLiteral("kesh-vistrel.lock")));
    // Only a lock whose process has died is stale, however old it is.
    lock_->setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::claim() {
    if (!lock_->tryLock(0)) {
        askFirstToComeForward();
        return false;
    }
    // Holding the lock, any socket under the name was left by a process that died.
    QLocalServer::removeServer(serverName_);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    server_.listen(serverName_);
    QObject::connect(&server_, &QLocalServer::newConnection, &server_, [this] {
        while (QLocalSocket* caller = server_.nextPendingConnection()) {
            caller->disconnectFromServer();
            caller->deleteLater();
            if (activation_)
                activation_();
        }
    });
    return true;
}

// A connection is the whole request: nothing needs to be said.
void SingleInstance::askFirstToComeForward() const {
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < reachTimeoutMs) {
        QLocalSocket socket;
        socket.connectToServer(serverName_);
        if (socket.waitForConnected(reachTimeoutMs)) {
            socket.disconnectFromServer();
            return;
        }
        QThread::msleep(retryPauseMs);
    }
}

} // namespace kv
