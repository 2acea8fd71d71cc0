#include "StdinLineReader.h"

#include <QSocketNotifier>

#include <cerrno>
#include <unistd.h>

namespace kv::painter {

StdinLineReader::StdinLineReader(QObject* parent) : QObject(parent) {}

void StdinLineReader::start() {
    if (notifier_)
        return;
    notifier_ = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &StdinLineReader::readAvailable);
}

void StdinLineReader::readAvailable() {
    char buffer[4096];
    // One read per notification: the descriptor is readable, so it does not block.
    const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (count < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (count <= 0) {
        notifier_->setEnabled(false);
        if (!pending_.empty())
            emit lineRead(std::exchange(pending_, {}));
        emit closed();
        return;
    }
    pending_.append(buffer, static_cast<std::size_t>(count));
    for (std::size_t end; (end = pending_.find('\n')) != std::string::npos;) {
        std::string line = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        emit lineRead(line);
    }
}

} // namespace kv::painter
