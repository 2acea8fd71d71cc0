// The program KeshVistrel, from its command line to its exit code.
#pragma once

#include <functional>

namespace kv {

class DesktopApplication;

// 0 after a normal run, after --help or --version, and when another running
// instance was asked to come forward; 1 without a display; 2 for a command
// line it refuses. `afterLaunch` runs once the launch sequence is done.
int runKeshVistrel(int argc, char** argv, const std::function<void(DesktopApplication&)>& afterLaunch = {});

} // namespace kv
