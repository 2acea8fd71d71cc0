// SIGTERM and SIGINT quit the application the ordinary way, so that a stop
// from a script or a session manager still saves the settings and closes the
// companion-display connection.
#pragma once

#include <functional>

namespace kv {

// Call once, after the QApplication exists; `quit` runs on the main thread,
// also while a calibration runs its nested loop.
void quitOnTerminationSignals(std::function<void()> quit);

} // namespace kv
