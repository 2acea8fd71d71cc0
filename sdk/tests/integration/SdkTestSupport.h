// What the SDK's integration tests share: a host per test, owned texts, and
// waits on the GLib main context with a deadline.
#ifndef HALV_SDK_TEST_SUPPORT_H
#define HALV_SDK_TEST_SUPPORT_H

#include "HalvorinKeshControl.h"
#include "TestHost.h"

#include <chrono>
#include <glib.h>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace halvtest {

using namespace std::chrono_literals;

constexpr auto kDeadline = 20s;

struct CFReleaser {
    void operator()(const void* text) const {
        if (text)
            CFRelease(text);
    }
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
// default main context meanwhile so that host events are delivered.
template <typename Done> bool waitUntil(std::chrono::milliseconds deadline, Done done) {
    GMainContext* context = g_main_context_ref_thread_default();
    const auto end = std::chrono::steady_clock::now() + deadline;
    bool held = done();
    while (!held && std::chrono::steady_clock::now() < end) {
        // Wakes at least every 10 ms to look at the deadline.
        GSource* tick = g_timeout_source_new(10);
        g_source_set_callback(
            tick, [](gpointer) { return G_SOURCE_REMOVE; }, nullptr, nullptr);
        g_source_attach(tick, context);
        g_main_context_iteration(context, TRUE);
        g_source_destroy(tick);
        g_source_unref(tick);
        held = done();
    }
    g_main_context_unref(context);
    return held;
}

// Dispatches whatever is ready on the calling thread's default main context.
inline void pumpPending() {
    GMainContext* context = g_main_context_ref_thread_default();
    while (g_main_context_iteration(context, FALSE)) {
    }
    g_main_context_unref(context);
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
