// The host's event records as they arrive on the socket. A record split
// across reads stays pending until it is whole; complete records are handed
// on in order.
#ifndef HALV_INBOUND_RECORDS_H
#define HALV_INBOUND_RECORDS_H

#include <cstdint>
#include <functional>
#include <memory>

class InboundRecords {
public:
    // Records are at most 272 bytes; the rest of the buffer takes a burst of
    // them in one read.
    static constexpr long kReceiveBufferSize = 301032;

    // Called for each event record with its two numbers and its 256-byte
    // argument area (valid only during the call). Returns false to stop
    // reading at once (the connection was closed from inside the callback).
    using Deliver = std::function<bool(int eventType, int eventValue, unsigned char* eventArg)>;

    enum class Drained {
        waiting, // the socket holds nothing more for now
        ended,   // the host closed its end, or a read failed
        stopped, // the delivery asked to stop
    };

    explicit InboundRecords(Deliver deliver);

    // Reads what `fd` holds now and delivers every complete record. A failed
    // read leaves the pending bytes as they are.
    Drained drain(int fd);

private:
    // False when the delivery asked to stop.
    bool deliverPending();

    Deliver deliver_;
    std::unique_ptr<unsigned char[]> buffer_;
    int64_t readPosition_ = 0;
    int64_t fill_ = 0;
};

#endif
