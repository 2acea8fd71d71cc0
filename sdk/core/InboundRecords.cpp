#include "core/InboundRecords.h"

#include "core/HostProtocol.h"

#include <cerrno>
#include <cstring>
#include <sys/socket.h>

namespace {

uint32_t readLittleEndian32(const unsigned char* bytes) {
    return static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
           (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}

} // namespace

InboundRecords::InboundRecords(Deliver deliver)
    : deliver_(std::move(deliver)), buffer_(new unsigned char[kReceiveBufferSize]) {}

InboundRecords::Drained InboundRecords::drain(int fd) {
    for (;;) {
        if (readPosition_ != 0) {
            const int64_t pending = fill_ - readPosition_;
            std::memmove(buffer_.get(), buffer_.get() + readPosition_, static_cast<size_t>(pending));
            fill_ = pending;
            readPosition_ = 0;
        }
        const ssize_t received =
            recv(fd, buffer_.get() + fill_, static_cast<size_t>(kReceiveBufferSize - fill_), MSG_DONTWAIT);
        if (received < 0) {
            if (errno == EINTR)
                continue;
            return errno == EAGAIN || errno == EWOULDBLOCK ? Drained::waiting : Drained::ended;
        }
        if (received == 0)
            return Drained::ended;
        fill_ += received;
        if (!deliverPending())
            return Drained::stopped;
    }
}

bool InboundRecords::deliverPending() {
    using namespace protocol::record;
    while (fill_ - readPosition_ >= kHeaderSize) {
        unsigned char* record = buffer_.get() + readPosition_;
        const int64_t pending = fill_ - readPosition_;
        if (readLittleEndian32(record + kTypeOffset) == kEvent) {
            if (pending < kEventSize)
                return true;
            readPosition_ += kEventSize;
            if (!deliver_(static_cast<int>(readLittleEndian32(record + kEventTypeOffset)),
                          static_cast<int>(readLittleEndian32(record + kEventValueOffset)),
                          record + kEventArgOffset))
                return false;
        } else {
            // An idle record; any other type is skipped as a record of the
            // same size, so an unknown record never stalls reading.
            if (pending < kIdleSize)
                return true;
            readPosition_ += kIdleSize;
        }
    }
    return true;
}
