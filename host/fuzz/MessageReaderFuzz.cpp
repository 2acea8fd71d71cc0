// Feeds arbitrary bytes to the message reader, whole and in pieces: it must
// never crash, and the way the bytes are split must not change what it reads.
#include "MessageReader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace kesh::host;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Small limit so the fuzzer reaches the end of variable payloads.
    constexpr std::size_t kLimit = 4096;
    MessageReader whole(kLimit);
    std::vector<HostMessage> wholeOut;
    const bool wholeOk = whole.feed(std::span(data, size), wholeOut);

    MessageReader pieces(kLimit);
    std::vector<HostMessage> piecesOut;
    bool piecesOk = true;
    // The first byte picks the piece size.
    const std::size_t step = size > 0 ? 1 + data[0] % 61 : 1;
    for (std::size_t i = 0; i < size && piecesOk; i += step) {
        piecesOk = pieces.feed(std::span(data + i, std::min(step, size - i)), piecesOut);
    }
    if (wholeOk != piecesOk || wholeOut.size() != piecesOut.size()) {
        std::abort();
    }
    for (std::size_t i = 0; i < wholeOut.size(); ++i) {
        if (wholeOut[i].type != piecesOut[i].type || wholeOut[i].payload != piecesOut[i].payload ||
            wholeOut[i].fileName != piecesOut[i].fileName) {
            std::abort();
        }
    }
    return 0;
}
