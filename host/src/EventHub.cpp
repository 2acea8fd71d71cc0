#include "EventHub.h"

#include "WebPages.h"

#include <nlohmann/json.hpp>

namespace kesh::host {

using nlohmann::json;

std::string formatEvent(const DisplayChange& change) {
    json data{{"applet", change.appletKey}, {"version", change.pageVersion}};
    std::string name;
    if (change.kind == DisplayChange::Kind::Presence) {
        name = "applets";
        data = {{"applets", json::array()}};
        for (const auto& applet : change.applets) {
            data["applets"].push_back(
                {{"key", applet.key}, {"name", applet.name}, {"connected", applet.connected}});
        }
    } else if (change.kind == DisplayChange::Kind::Page) {
        name = "page";
        data["page"] = change.page;
        data["edits"] = change.edits;
        data["url"] = shownPageUrl(change);
    } else {
        name = "edit";
        data["seq"] = change.edits;
        data["byClass"] = change.selector.byClass;
        data["tag"] = change.selector.name;
        if (change.kind == DisplayChange::Kind::Property) {
            data["property"] = change.property;
            data["value"] = change.text;
        } else {
            data["content"] = change.text;
        }
    }
    // Texts from applets may hold invalid UTF-8; they are shown with U+FFFD.
    return "event: " + name + "\ndata: " + data.dump(-1, ' ', false, json::error_handler_t::replace) + "\n\n";
}

EventHub::StreamPtr EventHub::open(const std::string& follow, const std::vector<SharedChange>& first) {
    auto stream = std::make_shared<Stream>();
    stream->follow = follow;
    {
        const std::lock_guard lock(mutex_);
        if (streams_.size() >= kMaxStreams) {
            streams_.front()->closed = true;
            streams_.pop_front();
        }
        for (const auto& change : first) {
            enqueue(*stream, change);
        }
        streams_.push_back(stream);
    }
    changed_.notify_all();
    return stream;
}

void EventHub::close(const StreamPtr& stream) {
    const std::lock_guard lock(mutex_);
    stream->closed = true;
    streams_.remove(stream);
}

void EventHub::enqueue(Stream& stream, const SharedChange& change) {
    const std::size_t bytes = change->text.size() + change->property.size() + change->selector.name.size();
    if (stream.queuedBytes + bytes > kMaxQueuedBytes && !stream.queue.empty()) {
        stream.closed = true;
        return;
    }
    stream.queue.push_back(change);
    stream.queuedBytes += bytes;
}

void EventHub::publish(const SharedChange& change) {
    {
        const std::lock_guard lock(mutex_);
        for (const auto& stream : streams_) {
            if (!stream->closed && (stream->follow.empty() || stream->follow == change->appletKey ||
                                    change->kind == DisplayChange::Kind::Presence)) {
                enqueue(*stream, change);
            }
        }
    }
    changed_.notify_all();
}

bool EventHub::take(const StreamPtr& stream, std::chrono::milliseconds timeout, std::string& out) {
    std::deque<SharedChange> taken;
    {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, timeout,
                          [&] { return closing_ || stream->closed || !stream->queue.empty(); });
        if (closing_ || stream->closed) {
            return false;
        }
        taken.swap(stream->queue);
        stream->queuedBytes = 0;
    }
    // Written outside the lock: an edit may carry megabytes of text.
    for (const auto& change : taken) {
        out += formatEvent(*change);
    }
    return true;
}

void EventHub::closeAll() {
    {
        const std::lock_guard lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
}

} // namespace kesh::host
