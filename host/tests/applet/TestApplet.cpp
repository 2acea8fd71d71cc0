// A tiny applet for the host's tests. It reads one command a line on its
// standard input, calls the SDK, and answers "ok <command>" or
// "fail <command> <error code>". Host events are printed as
// "record <type> <value> <argument text>". Arguments are separated by tabs.
//
//   init ID<TAB>NAME          init-icon ID<TAB>NAME
//   file PATH<TAB>NAME<TAB>TYPE                            content NAME<TAB>TEXT
//   bytes NAME<TAB>COUNT<TAB>SEED (a byte pattern)         image NAME<TAB>WIDTH<TAB>HEIGHT
//   index NAME    prop-id ID<TAB>PROPERTY<TAB>VALUE         prop-class CLASS<TAB>PROPERTY<TAB>VALUE
//   content-id ID<TAB>HTML    content-class CLASS<TAB>HTML
//
// The SDK delivers events on the main context of the thread that called
// Init, so everything runs on the GLib main loop of the main thread.
#include <CoreFoundation/CoreFoundation.h>
#include <HalvorinKeshControl.h>
#include <glib.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

GMainLoop* mainLoop = nullptr;

struct Text {
    explicit Text(const std::string& s)
        : ref(CFStringCreateWithCString(kCFAllocatorDefault, s.c_str(), kCFStringEncodingUTF8)) {}
    ~Text() {
        if (ref != nullptr) {
            CFRelease(ref);
        }
    }
    Text(const Text&) = delete;
    Text& operator=(const Text&) = delete;
    CFStringRef ref;
};

void onEvent(int eventType, int eventValue, void* eventArg, void*) {
    char arg[257] = {};
    std::memcpy(arg, eventArg, 256);
    std::printf("record %d %d %s\n", eventType, eventValue, arg);
    std::fflush(stdout);
}

// Pixel (x, y) is R = x, G = y, B = x + y, A = 255 (each modulo 256).
std::vector<unsigned char> pattern(int width, int height) {
    std::vector<unsigned char> rgba(std::size_t(width) * std::size_t(height) * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            unsigned char* p = &rgba[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4];
            p[0] = static_cast<unsigned char>(x);
            p[1] = static_cast<unsigned char>(y);
            p[2] = static_cast<unsigned char>(x + y);
            p[3] = 255;
        }
    }
    return rgba;
}

std::vector<std::string> splitTabs(const std::string& text) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        const auto tab = text.find('\t', start);
        parts.push_back(text.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) {
            return parts;
        }
        start = tab + 1;
    }
}

bool run(const std::string& name, const std::vector<std::string>& a) {
    static halvKeshCbContext callback{onEvent, nullptr};
    const auto need = [&](std::size_t n) { return a.size() >= n; };
    if (name == "init" && need(2)) {
        return HalvKeshInit(Text(a[0]).ref, Text(a[1]).ref, &callback);
    }
    if (name == "init-icon" && need(2)) {
        auto icon = pattern(144, 144);
        return HalvKeshInitWithIcon(Text(a[0]).ref, Text(a[1]).ref, &callback, icon.data());
    }
    if (name == "file" && need(3)) {
        return HalvKeshAddFileAs(Text(a[0]).ref, Text(a[1]).ref, Text(a[2]).ref);
    }
    if (name == "content" && need(2)) {
        return HalvKeshAddUTF8StringAs(Text(a[1]).ref, Text(a[0]).ref, Text("").ref);
    }
    if (name == "bytes" && need(3)) {
        const int count = std::stoi(a[1]);
        const int seed = std::stoi(a[2]);
        std::vector<unsigned char> bytes(static_cast<std::size_t>(count));
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = static_cast<unsigned char>((i * 131 + std::size_t(seed)) % 251);
        }
        return HalvKeshAddContentAs(bytes.data(), count, Text(a[0]).ref,
                                    Text("application/octet-stream").ref);
    }
    if (name == "image" && need(3)) {
        const int width = std::stoi(a[1]);
        const int height = std::stoi(a[2]);
        auto rgba = pattern(width, height);
        return HalvKeshAddImageFromBitmap(rgba.data(), width, height, Text(a[0]).ref);
    }
    if (name == "index" && need(1)) {
        return HalvKeshSetIndex(Text(a[0]).ref);
    }
    if (name == "prop-id" && need(3)) {
        return HalvKeshSetTagPropertyById(Text(a[0]).ref, Text(a[1]).ref, Text(a[2]).ref);
    }
    if (name == "prop-class" && need(3)) {
        return HalvKeshSetTagsPropertyByClass(Text(a[0]).ref, Text(a[1]).ref, Text(a[2]).ref);
    }
    if (name == "content-id" && need(2)) {
        return HalvKeshSetTagContentById(Text(a[0]).ref, Text(a[1]).ref);
    }
    if (name == "content-class" && need(2)) {
        return HalvKeshSetTagsContentByClass(Text(a[0]).ref, Text(a[1]).ref);
    }
    return false;
}

// Handles one line; false at the end of input.
bool handleLine(GIOChannel* channel) {
    gchar* raw = nullptr;
    gsize length = 0;
    const GIOStatus status = g_io_channel_read_line(channel, &raw, &length, nullptr, nullptr);
    if (status != G_IO_STATUS_NORMAL) {
        g_free(raw);
        return status == G_IO_STATUS_AGAIN;
    }
    std::string line(raw, length);
    g_free(raw);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.pop_back();
    }
    const auto space = line.find(' ');
    const std::string name = line.substr(0, space);
    const std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
    if (run(name, splitTabs(rest))) {
        std::printf("ok %s\n", name.c_str());
    } else {
        std::printf("fail %s %d\n", name.c_str(), HalvKeshGetLastError());
    }
    std::fflush(stdout);
    return true;
}

gboolean onInput(GIOChannel* channel, GIOCondition, gpointer) {
    // Lines already in the channel's buffer do not wake the watch again.
    do {
        if (!handleLine(channel)) {
            g_main_loop_quit(mainLoop);
            return FALSE;
        }
    } while ((g_io_channel_get_buffer_condition(channel) & G_IO_IN) != 0);
    return TRUE;
}

} // namespace

int main() {
    mainLoop = g_main_loop_new(nullptr, FALSE);
    GIOChannel* input = g_io_channel_unix_new(0);
    g_io_channel_set_encoding(input, nullptr, nullptr);
    g_io_add_watch(input, GIOCondition(G_IO_IN | G_IO_HUP | G_IO_ERR), onInput, nullptr);
    g_main_loop_run(mainLoop);
    HalvKeshShutdown();
    g_io_channel_unref(input);
    g_main_loop_unref(mainLoop);
    return 0;
}
