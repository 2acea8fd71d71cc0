// What the tests of the exported interface share: a host per test, owned
// texts, and waits with a deadline that run the GLib main context meanwhile.
#ifndef HALV_SDK_TEST_SUPPORT_H
#define HALV_SDK_TEST_SUPPORT_H

#include "HalvorinKeshControl.h"
#include "TestHost.h"

#include <chrono>
#include <glib.h>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace halvtest {

using namespace std::chrono_literals;

constexpr auto kDeadline = 20s;

struct CFReleaser {
    void operator()(const void* text) const { CFRelease(text); }
};
using Text = std::unique_ptr<const __CFString, CFReleaser>;

inline Text text(const std::string& utf8) {
    return Text(CFStringCreateWithCString(kCFAllocatorDefault, utf8.c_str(), kCFStringEncodingUTF8));
}

inline Text text(const std::u16string& units) {
    return Text(CFStringCreateWithCharacters(kCFAllocatorDefault,
                                             reinterpret_cast<const UniChar*>(units.data()),
                                             static_cast<CFIndex>(units.size())));
}

// Waits until `done` holds, at most `deadline`, running the calling thread's
// default main context meanwhile so that host events are delivered. With
// `deadline` 0 it only dispatches what is ready.
template <typename Done> bool waitUntil(std::chrono::milliseconds deadline, Done done) {
    GMainContext* context = g_main_context_ref_thread_default();
    while (g_main_context_iteration(context, FALSE)) {
    }
    // Wakes at least every 10 ms to look at the deadline.
    GSource* tick = g_timeout_source_new(10);
    g_source_set_callback(
        tick, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr, nullptr);
    g_source_attach(tick, context);
    for (const auto end = std::chrono::steady_clock::now() + deadline;
         !done() && std::chrono::steady_clock::now() < end;)
        g_main_context_iteration(context, TRUE);
    g_source_destroy(tick);
    g_source_unref(tick);
    g_main_context_unref(context);
    return done();
}

// The messages of the connection that sent `fileName`, once it arrived.
inline std::vector<Message> connectionThatSent(const TestHost& host, const std::string& fileName) {
    int connection = 0;
    waitUntil(kDeadline, [&] {
        for (const Message& message : host.messages())
            connection = message.fileName() == fileName ? message.connection : connection;
        return connection != 0;
    });
    std::vector<Message> found;
    for (const Message& message : host.messages())
        if (message.connection == connection)
            found.push_back(message);
    return found;
}

// Every test gets its own host in a fresh data folder and leaves the SDK shut
// down, since the SDK is one object per process.
class SdkTest : public ::testing::Test {
protected:
    void TearDown() override { HalvKeshShutdown(); }
    bool init(halvKeshCbContext* callbacks = nullptr) {
        return HalvKeshInit(CFSTR("com.example.tester"), CFSTR("Tester"), callbacks);
    }

    std::unique_ptr<TestHost> host = std::make_unique<TestHost>();
};

} // namespace halvtest

#endif
