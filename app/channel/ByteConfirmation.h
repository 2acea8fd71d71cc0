// Two-phase confirmation of a byte on the strip: a byte counts once, when a
// phase-1 frame of the value follows a phase-0 frame of the same value.
#pragma once

#include "channel/StripFrame.h"

#include <optional>
#include <string>

namespace kv::channel {

// Key of a frame value; equal keys exactly for equal values, never empty.
std::string frameKey(int value);

// One capture through the confirmation. `phase1Key` holds the value last seen
// in a phase-0 frame (empty: no byte pending), `phase2Key` the value its
// phase-1 frame confirmed. Returns the accepted byte value, after which both
// keys are empty again; captures that are no frame change nothing.
std::optional<int> confirmFrame(std::string& phase1Key, std::string& phase2Key, FramePhase phase, int value);

} // namespace kv::channel
