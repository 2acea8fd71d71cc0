// SIGTERM and SIGINT quit the application the ordinary way, so that a stop
// from a script or a session manager still saves the settings and closes the
// companion-display connection.
#pragma once

namespace kv {

// Call once, after the QApplication exists.
void quitOnTerminationSignals();

} // namespace kv
