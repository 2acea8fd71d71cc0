// The program's command line, read before any window system is touched, so
// that --help and --version work without a display.
#pragma once

#include "desktop/CompanionHost.h"

#include <string>

namespace kv {

struct CommandLine {
    enum class Action { run, help, version, refuse };
    Action action = Action::run;
    HostStart hostStart = HostStart::withApplication;
    std::string problem; // why the line was refused
};

CommandLine parseCommandLine(int argc, const char* const* argv);

// The text of --help.
const char* commandLineUsage();

} // namespace kv
