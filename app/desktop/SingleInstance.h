// One Kesh Vistrel per user: the first start holds a lock file and listens on
// a local socket, both in the user's runtime folder ($XDG_RUNTIME_DIR); a
// later start asks it to bring its window forward and leaves. A lock or
// socket left by a process that died is taken over.
#pragma once

#include <QLocalServer>
#include <QLockFile>

#include <functional>
#include <memory>

namespace kv {

class SingleInstance {
public:
    SingleInstance();
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when this process is the first; false when another runs (it has
    // been asked to come forward when it could be reached).
    bool claim();
    // Runs on the first instance whenever a later start asks it to come forward.
    void onActivation(std::function<void()> handler) { activation_ = std::move(handler); }

private:
    void askFirstToComeForward() const;

    QString serverName_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer server_;
    std::function<void()> activation_;
};

} // namespace kv
