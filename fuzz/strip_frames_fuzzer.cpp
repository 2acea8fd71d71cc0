// Feeds random captures of the 12-cell strip through the frame decoding, the
// two-phase byte confirmation and the message assembly, as the reader tick
// does. Properties: a byte counts only on a phase-1 frame of the value of the
// last phase-0 frame, and once per phase-0 frame; the assembly buffer stays
// bounded; every finished message is well-formed UTF-8. With the first input
// byte odd, the rest is a message the add-on paints frame by frame, and it
// must come out whole when it can be sent at all.
#include "channel/ByteConfirmation.h"
#include "channel/MessageAssembly.h"
#include "channel/StripFrame.h"

#include <CoreFoundation/Utf.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace {

using kv::channel::CellStates;
using kv::channel::FramePhase;

struct Reader {
    std::string phase1Key;
    std::string phase2Key;
    std::vector<std::uint8_t> nameInProgress;
    std::int64_t rememberLastChar = 0;
    std::optional<int> lastPhase0Value;
    std::vector<std::string> messages;

    void capture(const CellStates& lit) {
        const int value = kv::channel::frameValue(lit);
        if (value < 0 || value > 255)
            std::abort();
        const FramePhase phase = kv::channel::framePhase(lit);
        const std::optional<int> accepted = kv::channel::confirmFrame(phase1Key, phase2Key, phase, value);
        if (phase == FramePhase::Phase0)
            lastPhase0Value = value;
        if (!accepted)
            return;
        if (phase != FramePhase::Phase1 || *accepted != value || lastPhase0Value != value)
            std::abort();
        lastPhase0Value.reset(); // the next byte needs a phase-0 frame of its own
        const kv::channel::AcceptedByte result =
            kv::channel::acceptByte(nameInProgress, rememberLastChar, *accepted);
        if (nameInProgress.size() > kv::channel::kMaxMessageBytes)
            std::abort();
        if (result.outcome == kv::channel::ByteOutcome::MessageComplete) {
            if (result.text.size() < 2 || !kvcf::isValidUtf8(result.text))
                std::abort();
            messages.push_back(result.text);
        }
    }
};

CellStates frame(FramePhase phase, int value) {
    const std::int64_t phaseBit = phase == FramePhase::Phase1 ? 1 : 0;
    CellStates lit{1, phaseBit, 0, 0, 0, 0, 0, 0, 0, 0, 1, phaseBit};
    for (int bit = 0; bit < 8; ++bit)
        lit[static_cast<std::size_t>(9 - bit)] = (value >> bit) & 1;
    return lit;
}

void randomCaptures(const std::uint8_t* data, std::size_t size) {
    Reader reader;
    for (std::size_t at = 0; at + 1 < size; at += 2) {
        const unsigned bits = data[at] | (static_cast<unsigned>(data[at + 1]) << 8);
        CellStates lit{};
        for (std::size_t cell = 0; cell < lit.size(); ++cell)
            lit[cell] = (bits >> cell) & 1;
        reader.capture(lit);
    }
}

void paintedMessage(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> text(data, size);
    // What the add-on can send: UTF-8 of a few bytes that holds no 255 (never
    // collected) and no 7 followed by 8 (the terminator).
    if (size < 2 || size >= kv::channel::kMaxMessageBytes ||
        !kvcf::isValidUtf8({reinterpret_cast<const char*>(data), size}))
        return;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 255 || (data[i] == 7 && i + 1 < size && data[i + 1] == 8))
            return;
    }
    if (data[size - 1] == 7)
        return;
    Reader reader;
    auto paint = [&reader](int value) {
        reader.capture(frame(FramePhase::Phase0, value));
        reader.capture(frame(FramePhase::Phase0, value)); // a frame seen twice
        reader.capture(frame(FramePhase::Phase1, value));
        reader.capture(frame(FramePhase::Phase1, value));
    };
    for (const std::uint8_t byte : text)
        paint(byte);
    paint(kv::channel::kTerminatorFirst);
    paint(kv::channel::kTerminatorSecond);
    if (reader.messages.size() != 1 || reader.messages[0] != std::string(text.begin(), text.end()))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    if (data[0] & 1)
        paintedMessage(data + 1, size - 1);
    else
        randomCaptures(data + 1, size - 1);
    return 0;
}
