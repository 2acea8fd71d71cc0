// A host peer for the example applet: listens in the given data folder until
// one applet has connected and gone, then prints one line per message.
#include "TestHost.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <string>

namespace {

std::string describe(const halvtest::Message& message) {
    const std::string size = std::to_string(message.payload().size()) + " bytes";
    switch (message.type) {
    case 2:
        return "registration: \"" + message.identifier() + "\" (" + message.friendlyName() + ")";
    case 3:
        return "registration with icon: \"" + message.identifier() + "\" (" + message.friendlyName() + ")";
    case 4:
        return "file: " + message.fileName() + " from " + message.filePath();
    case 5:
        return "content: " + message.fileName() + ", " + size;
    case 6:
        return "image: " + message.fileName() + ", " + std::to_string(message.width()) + "x" +
               std::to_string(message.height()) + ", " + size;
    case 7:
        return "index: " + message.fileName();
    case 8:
        return std::string("tag property: ") + (message.byClass() ? "class " : "id ") + message.tag() + " " +
               message.property() + "=" + message.value();
    case 9:
        return std::string("tag content: ") + (message.byClass() ? "class " : "id ") + message.tag() + ", " +
               size;
    default:
        return "unknown message type " + std::to_string(message.type);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DATA_FOLDER\n", argv[0]);
        return 2;
    }
    try {
        halvtest::TestHost host(argv[1]);
        std::printf("host: listening on %s\n", host.socketPath().c_str());
        std::fflush(stdout);
        const bool done = host.waitForDisconnects(1, std::chrono::seconds(30));
        for (const auto& message : host.messages())
            std::printf("host received %s\n", describe(message).c_str());
        if (!done) {
            std::fprintf(stderr, "host: no applet came and went within 30 s\n");
            return 1;
        }
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "host: %s\n", error.what());
        return 1;
    }
}
