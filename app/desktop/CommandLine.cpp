#include "desktop/CommandLine.h"

#include <string_view>

namespace kv {

CommandLine parseCommandLine(int argc, const char* const* argv) {
    CommandLine line;
    bool keepHost = false;
    bool waitForHost = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "-h" || argument == "--help") {
            line.action = CommandLine::Action::help;
            return line;
        }
        if (argument == "--version") {
            line.action = CommandLine::Action::version;
            return line;
        }
        if (argument == "--keep-host") {
            keepHost = true;
        } else if (argument == "--wait-for-host") {
            waitForHost = true;
        } else {
            line.action = CommandLine::Action::refuse;
            line.problem = (argument.starts_with('-') ? "unknown option '" : "unexpected argument '") +
                           std::string(argument) + "'";
            return line;
        }
    }
    if (keepHost && waitForHost) {
        line.action = CommandLine::Action::refuse;
        line.problem = "--keep-host and --wait-for-host exclude each other";
        return line;
    }
    line.hostStart = waitForHost ? HostStart::never
                     : keepHost  ? HostStart::keepRunning
                                 : HostStart::withApplication;
    return line;
}

const char* commandLineUsage() {
    return "Usage: KeshVistrel [--keep-host | --wait-for-host]\n"
           "Reads the strip that the in-game add-on KESHVistrelxmit paints at the top-left of the\n"
           "screen and shows the matching page on the companion display.\n"
           "\n"
           "The companion display is served by the companion host kesh-host. When none answers at\n"
           "start, Kesh Vistrel starts the user service kesh-host.socket if it is installed, else\n"
           "runs kesh-host itself and stops it again when it quits; it connects as soon as the\n"
           "host answers.\n"
           "\n"
           "  --keep-host       a kesh-host started by Kesh Vistrel keeps running after it quits\n"
           "  --wait-for-host   start no host; wait for one started some other way\n"
           "  -h, --help        show this help and exit\n"
           "  --version         show the version and exit\n"
           "\n"
           "Only one Kesh Vistrel runs at a time: starting it again brings its window forward.\n";
}

} // namespace kv
