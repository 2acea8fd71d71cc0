// The event loop on Linux: the GLib main context that was the thread default
// of the thread that called Init (the one Qt runs).
#include "core/EventLoop.h"

#include <glib-unix.h>
#include <glib.h>
#include <mutex>

namespace {

// What a socket watch owns. GLib frees it when the source is destroyed, and
// only after a dispatch in progress has returned, so a watch ended from
// another thread never pulls the buffer from under its reader.
struct SocketReader {
    SocketReader(std::shared_ptr<HostSocket> watched, InboundRecords::Deliver deliver,
                 std::function<void()> onEnd)
        : socket(std::move(watched)),
          records([this, deliver = std::move(deliver)](int type, int value, unsigned char* arg) {
              return deliver(type, value, arg) && !g_source_is_destroyed(source);
          }),
          ended(std::move(onEnd)),
          source(
              g_unix_fd_source_new(socket->fd(), static_cast<GIOCondition>(G_IO_IN | G_IO_HUP | G_IO_ERR))) {}

    std::shared_ptr<HostSocket> socket;
    InboundRecords records;
    std::function<void()> ended;
    GSource* source;
};

gboolean onReadable(gint, GIOCondition, gpointer data) {
    auto* reader = static_cast<SocketReader*>(data);
    switch (reader->records.drain(reader->socket->fd())) {
    case InboundRecords::Drained::waiting:
        return G_SOURCE_CONTINUE;
    case InboundRecords::Drained::ended:
        if (!g_source_is_destroyed(reader->source))
            reader->ended();
        return G_SOURCE_REMOVE;
    case InboundRecords::Drained::stopped:
        break;
    }
    return G_SOURCE_REMOVE;
}

gboolean onTick(gpointer data) {
    (*static_cast<std::function<void()>*>(data))();
    return G_SOURCE_CONTINUE;
}

class GLibEventLoop final : public EventLoop {
public:
    GLibEventLoop() : context_(g_main_context_ref_thread_default()) {}
    ~GLibEventLoop() override {
        unwatch();
        stopTicking();
        g_main_context_unref(context_);
    }

    void watch(std::shared_ptr<HostSocket> socket, InboundRecords::Deliver deliver,
               std::function<void()> ended) override {
        auto* reader = new SocketReader(std::move(socket), std::move(deliver), std::move(ended));
        GSource* source = reader->source;
        g_source_set_callback(source, G_SOURCE_FUNC(onReadable), reader,
                              [](gpointer data) { delete static_cast<SocketReader*>(data); });
        std::lock_guard lock(mutex_);
        replace(watch_, source);
    }

    void unwatch() override {
        std::lock_guard lock(mutex_);
        replace(watch_, nullptr);
    }

    void startTicking(std::chrono::milliseconds interval, std::function<void()> tick) override {
        GSource* source = g_timeout_source_new(static_cast<guint>(interval.count()));
        g_source_set_callback(source, onTick, new std::function<void()>(std::move(tick)),
                              [](gpointer data) { delete static_cast<std::function<void()>*>(data); });
        std::lock_guard lock(mutex_);
        replace(ticks_, source);
    }

    void stopTicking() override {
        std::lock_guard lock(mutex_);
        replace(ticks_, nullptr);
    }

private:
    // Under the mutex: ends the source in `slot` and starts `source` there.
    void replace(GSource*& slot, GSource* source) {
        if (slot != nullptr) {
            g_source_destroy(slot);
            g_source_unref(slot);
        }
        slot = source;
        if (source != nullptr)
            g_source_attach(source, context_);
    }

    GMainContext* context_;
    std::mutex mutex_;
    GSource* watch_ = nullptr;
    GSource* ticks_ = nullptr;
};

} // namespace

std::unique_ptr<EventLoop> EventLoop::ofCallingThread() {
    return std::make_unique<GLibEventLoop>();
}
