#include "cSDKServer.h"

#include "memcpy_s.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <unistd.h>

Interlocked<long> g_initialized{0};
Interlocked<long> g_lastError{0};
Interlocked<long> functionPending{0};

namespace {

constexpr unsigned long kRegistrationSize = 1032;
constexpr unsigned long kRegistrationWithIconSize = 83976;
constexpr unsigned long kFileSize = 1544;
constexpr unsigned long kContentFixedSize = 1032;
constexpr unsigned long kImageFixedSize = 528;
constexpr unsigned long kIndexSize = 520;
constexpr unsigned long kTagPropertySize = 780;
constexpr unsigned long kTagContentFixedSize = 268;
constexpr unsigned long kHeaderSize = 8;
// The payload length field is 32 bits; larger payloads are refused (code 8).
constexpr unsigned long kLargestPayload = INT_MAX;

void putLittleEndian32(unsigned char* at, uint32_t value) {
    at[0] = static_cast<unsigned char>(value);
    at[1] = static_cast<unsigned char>(value >> 8);
    at[2] = static_cast<unsigned char>(value >> 16);
    at[3] = static_cast<unsigned char>(value >> 24);
}

void putHeader(unsigned char* message, uint32_t type, unsigned long totalSize) {
    putLittleEndian32(message, type);
    putLittleEndian32(message + 4, static_cast<uint32_t>(totalSize - kHeaderSize));
}

// The running program's path, as the host shows it for the applet.
CFStringRef executablePath() {
    char path[PATH_MAX + 1];
    const ssize_t length = readlink("/proc/self/exe", path, PATH_MAX);
    if (length <= 0)
        return CFSTR("");
    path[length] = '\0';
    CFStringRef text = CFStringCreateWithCString(kCFAllocatorDefault, path, kCFStringEncodingUTF8);
    return text != nullptr ? text : CFSTR("");
}

} // namespace

void cSDKServer::CallMutex::lock() {
    std::unique_lock lock(mutex_);
    released_.wait(lock, [this] { return !held_; });
    held_ = true;
}

void cSDKServer::CallMutex::unlock() {
    {
        std::lock_guard lock(mutex_);
        held_ = false;
    }
    released_.notify_all();
}

bool cSDKServer::CallMutex::try_lock_for(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    if (!released_.wait_for(lock, timeout, [this] { return !held_; }))
        return false;
    held_ = true;
    return true;
}

cSDKServer::cSDKServer()
    : stopEvent_(std::make_unique<Event>(true, false)),
      ringBuffer_(std::make_unique<CircularBuffer>(kRingBufferCapacity)),
      messageBuffer_(kLengthWord + kLargestFrame) {}

cSDKServer::~cSDKServer() {
    // A process that ends without ShutDown still gets its queued frames out and
    // its writer thread stopped before the objects it uses go away.
    ShutDown();
}

unsigned long cSDKServer::copyTo(CFStringRef text, unsigned char* destination, unsigned long maxUnits) {
    const unsigned long units = std::min(static_cast<unsigned long>(CFStringGetLength(text)), maxUnits);
    for (unsigned long i = 0; i < units; ++i) {
        const UniChar unit = CFStringGetCharacterAtIndex(text, static_cast<CFIndex>(i));
        destination[2 * i] = static_cast<unsigned char>(unit);
        destination[2 * i + 1] = static_cast<unsigned char>(unit >> 8);
    }
    return units;
}

void cSDKServer::buildRegistration(unsigned char* message, CFStringRef identifier, CFStringRef friendlyName,
                                   CFStringRef executable, const unsigned char* iconBitmap) {
    putHeader(message, iconBitmap ? 3 : 2, iconBitmap ? kRegistrationWithIconSize : kRegistrationSize);
    copyTo(identifier, message + 8, 128);
    copyTo(friendlyName, message + 264, 128);
    copyTo(executable, message + 520, kExecutablePathUnits);
    if (iconBitmap)
        memcpy_s(message + 1032, kIconBytes, iconBitmap, kIconBytes);
}

bool cSDKServer::Init(CFStringRef identifier, CFStringRef friendlyName, halvKeshCbContext* callbackContext) {
    return initialize(identifier, friendlyName, callbackContext, nullptr, Registration::plain);
}

bool cSDKServer::InitWIcon(CFStringRef identifier, CFStringRef friendlyName,
                           halvKeshCbContext* callbackContext, unsigned char* iconBitmap) {
    return initialize(identifier, friendlyName, callbackContext, iconBitmap, Registration::withIcon);
}

bool cSDKServer::failInit(long code) {
    g_lastError.set(code);
    g_initialized.set(0);
    return false;
}

bool cSDKServer::initialize(CFStringRef identifier, CFStringRef friendlyName,
                            halvKeshCbContext* callbackContext, unsigned char* iconBitmap,
                            Registration kind) {
    std::lock_guard lifecycle(lifecycleMutex_);
    if (g_initialized.exchange(1) != 0) {
        g_lastError.set(5);
        return false;
    }
    if (identifier == nullptr || friendlyName == nullptr)
        return failInit(2);
    if (CFStringGetLength(identifier) == 0 || (kind == Registration::withIcon && iconBitmap == nullptr))
        return failInit(1);
    if (callbackContext != nullptr) {
        callback_.store(callbackContext->callback);
        callbackContext_.store(callbackContext->context);
    }
    // Built before the writer starts: it sends it again on every reconnection.
    registration_.assign(iconBitmap ? kRegistrationWithIconSize : kRegistrationSize, 0);
    CFStringRef executable = executablePath();
    buildRegistration(registration_.data(), identifier, friendlyName, executable, iconBitmap);
    CFRelease(executable);

    if (!connectToTamber())
        return failInit(6);
    auto wakeWriter = [this] { ringBuffer_->wakeReaders(); };
    if (kind == Registration::plain) {
        connection_->startReading(wakeWriter);
        if (!startWriter())
            return failInit(7);
    } else {
        if (!startWriter())
            return failInit(7);
        connection_->startReading(wakeWriter);
    }
    {
        // Sends are taken only from here on, so the registration is always
        // the first message on the connection.
        std::lock_guard lock(callMutex_);
        writeToRingBuffer(registration_.data(), registration_.size());
        accepting_ = true;
    }
    g_lastError.set(0);
    return true;
}

bool cSDKServer::connectToTamber() {
    if (connection_)
        return true;
    auto connection = std::make_unique<cTamberConnection>();
    if (!connection->connectToPipe())
        return false;
    connection_ = std::move(connection);
    return true;
}

bool cSDKServer::startWriter() {
    if (!ringBuffer_->isValid())
        return false;
    // A stop event set by an earlier ShutDown would end the new writer at once.
    if (!stopEvent_->isValid() || stopEvent_->TryWait() == 0) {
        stopEvent_ = std::make_unique<Event>(true, false);
        if (!stopEvent_->isValid())
            return false;
    }
    {
        std::lock_guard lock(writerStateMutex_);
        writerRunning_ = true;
    }
    if (pthread_create(&writerThread_, nullptr, &cSDKServer::_WritingThread, this) != 0) {
        std::lock_guard lock(writerStateMutex_);
        writerRunning_ = false;
        return false;
    }
    writerStarted_ = true;
    return true;
}

void* cSDKServer::_WritingThread(void* server) {
    if (server != nullptr)
        static_cast<cSDKServer*>(server)->WritingThread();
    return nullptr;
}

void cSDKServer::noteHostLost(HostLoss& loss) {
    if (loss.reported)
        return;
    loss.reported = true;
    connection_->closeLost();
    connection_->wakeWhileLost(kIdleReconnectInterval, [this] { ringBuffer_->wakeReaders(); });
    std::fputs("HalvorinKeshControl: lost the host; trying to reconnect\n", stderr);
}

bool cSDKServer::tryReconnect(HostLoss& loss) {
    const auto now = std::chrono::steady_clock::now();
    if (now - loss.lastAttempt < kReconnectInterval)
        return false;
    loss.lastAttempt = now;
    if (!connection_->reconnect() || !connection_->write(registration_.data(), registration_.size()))
        return false;
    connection_->stopWaking();
    loss.reported = false;
    std::fputs("HalvorinKeshControl: reconnected to the host\n", stderr);
    return true;
}

void cSDKServer::WritingThread() {
    cTamberConnection* connection = connection_.get();
    Event* stop = stopEvent_.get();
    CircularBuffer& queue = *ringBuffer_;
    std::vector<unsigned char> frame(kLargestFrame);
    std::vector<iovec> pieces;
    pieces.reserve(kMostPiecesPerSend);
    HostLoss loss;
    loss.lastAttempt = std::chrono::steady_clock::now() - kReconnectInterval;
    // The continuation frames of a message whose start never reached the
    // current host go nowhere either.
    bool skipMessage = false;
    for (;;) {
        if (connection->isLost()) {
            // ShutDown drops what can no longer be delivered.
            if (stop->TryWait() == 0)
                break;
            noteHostLost(loss);
        }
        // Frames already complete go out before the stop event is looked at.
        const unsigned long stored = queue.size();
        uint64_t word = 0;
        if (stored < kLengthWord) {
            if (connection->isLost() && tryReconnect(loss))
                skipMessage = true;
            if (!queue.waitForData(kLengthWord, stop))
                break;
            continue;
        }
        queue.copyOut(0, &word, kLengthWord);
        const bool continuation = (word & kContinuationFrame) != 0;
        uint64_t length = word & ~kContinuationFrame;
        if (length > kLargestFrame) {
            // Only a broken producer could queue this; resynchronising is
            // impossible, so drop what is queued rather than send garbage.
            queue.clear();
            continue;
        }

        if (stored - kLengthWord < length) {
            // A frame goes out whole or not at all: one cut short by the stop
            // event is dropped.
            if (!queue.waitForData(kLengthWord + length, stop))
                break;
            continue;
        }

        if (!continuation) {
            if (connection->isLost())
                tryReconnect(loss);
            skipMessage = connection->isLost();
        }
        if (skipMessage) {
            queue.consume(kLengthWord + length);
            continue;
        }

        if (length > kLargestBatchedFrame) {
            // A large frame: what the socket takes at once goes straight from
            // the queue; the rest is copied out, so that the queue is free
            // again for the senders while the host reads it.
            CircularBuffer::Piece stretch[2];
            const int count = queue.peek(kLengthWord, length, stretch);
            iovec parts[2];
            for (int i = 0; i < count; ++i)
                parts[i] = iovec{const_cast<unsigned char*>(stretch[i].data), stretch[i].size};
            const unsigned long sent = connection->writeWhatFits(parts, static_cast<std::size_t>(count));
            const unsigned long rest = length - sent;
            queue.copyOut(kLengthWord + sent, frame.data(), rest);
            queue.consume(kLengthWord + length);
            if (rest > 0 && !connection->write(frame.data(), rest))
                skipMessage = true;
            continue;
        }

        // Small frames go to the socket straight from the queue, this one and
        // the complete ones behind it in one gather write: the host reads the
        // same bytes in the same order, with one system call for many.
        pieces.clear();
        unsigned long taken = 0;
        unsigned long batch = 0;
        while (stored - taken >= kLengthWord && pieces.size() + 2 <= kMostPiecesPerSend) {
            queue.copyOut(taken, &word, kLengthWord);
            length = word & ~kContinuationFrame;
            if (length > kLargestBatchedFrame || stored - taken - kLengthWord < length ||
                batch + length > kBatchBytes)
                break;
            CircularBuffer::Piece stretch[2];
            const int count = queue.peek(taken + kLengthWord, length, stretch);
            for (int i = 0; i < count; ++i)
                pieces.push_back(iovec{const_cast<unsigned char*>(stretch[i].data), stretch[i].size});
            taken += kLengthWord + length;
            batch += length;
        }
        // Frames of length 0 only open the stream. A host that is gone loses
        // the frames, and the rest of their message.
        const bool written = pieces.empty() ? connection->write(nullptr, 0)
                                            : connection->writePieces(pieces.data(), pieces.size());
        skipMessage = !written;
        queue.consume(taken);
    }
    std::lock_guard lock(writerStateMutex_);
    writerRunning_ = false;
    writerEnded_.notify_all();
}

bool cSDKServer::writeSafely(const void* bytes, unsigned long count) {
    if (count == 0)
        return true;
    const auto* source = static_cast<const unsigned char*>(bytes);
    unsigned long done = ringBuffer_->write(source, count);
    while (done < count) {
        if (sendsCancelled_.load())
            return false;
        ringBuffer_->waitForRoom(std::min(count - done, kRoomWorthWaking), nullptr);
        done += ringBuffer_->write(source + done, count - done);
    }
    return true;
}

bool cSDKServer::writeToRingBuffer(const void* bytes, unsigned long count) {
    const uint64_t length = count;
    return writeSafely(&length, sizeof length) && writeSafely(bytes, count);
}

bool cSDKServer::beginSend() {
    if (g_initialized.get() == 0) {
        g_lastError.set(4);
        return false;
    }
    callMutex_.lock();
    // A send that waited for the call mutex while ShutDown ran finds the
    // library shut down: nothing it would queue could be delivered.
    if (!accepting_) {
        g_lastError.set(4);
        callMutex_.unlock();
        return false;
    }
    functionPending.add(1);
    return true;
}

bool cSDKServer::endSend(long code) {
    g_lastError.set(code);
    callMutex_.unlock();
    functionPending.add(-1);
    return code == 0;
}

bool cSDKServer::queueMessage(unsigned long fixedSize, const unsigned char* payload,
                              unsigned long payloadSize) {
    // The frames are queued straight from the caller's bytes: a large payload
    // is copied once, into the queue. A small one joins the fixed part, so
    // that the frame goes in with one write and wakes the writer once.
    unsigned char* frame = messageBuffer_.data();
    unsigned char* message = messageStart();
    const unsigned long first = std::min(payloadSize, kChunkSize);
    const unsigned long joined = first <= kSmallPayload ? first : 0;
    if (joined > 0 &&
        memcpy_s(message + fixedSize, messageBuffer_.size() - kLengthWord - fixedSize, payload, joined) != 0)
        return endSend(8);
    const uint64_t firstLength = fixedSize + first;
    std::memcpy(frame, &firstLength, kLengthWord);
    bool queued =
        writeSafely(frame, kLengthWord + fixedSize + joined) && writeSafely(payload + joined, first - joined);
    for (unsigned long offset = first; queued && offset < payloadSize;) {
        const uint64_t chunk = std::min(payloadSize - offset, kChunkSize);
        const uint64_t word = chunk | kContinuationFrame;
        queued = writeSafely(&word, kLengthWord) && writeSafely(payload + offset, chunk);
        offset += chunk;
    }
    // Only ShutDown stops a send half-way; to the applet the library was shut
    // down before this message could go.
    return endSend(queued ? 0 : 4);
}

bool cSDKServer::SendFileAs(CFStringRef filePath, CFStringRef fileName, CFStringRef fileType) {
    if (!beginSend())
        return false;
    if (filePath == nullptr || fileName == nullptr || fileType == nullptr)
        return endSend(2);
    unsigned char* message = messageStart();
    std::memset(message, 0, kFileSize);
    putHeader(message, 4, kFileSize);
    copyTo(fileName, message + 8, 256);
    copyTo(filePath, message + 520, 256);
    copyTo(fileType, message + 1032, 256);
    return queueMessage(kFileSize, nullptr, 0);
}

bool cSDKServer::SendContentAs(const void* content, int size, CFStringRef fileName, CFStringRef fileType) {
    if (!beginSend())
        return false;
    if (content == nullptr || fileName == nullptr || fileType == nullptr)
        return endSend(2);
    if (size < 0)
        return endSend(8);
    unsigned char* message = messageStart();
    std::memset(message, 0, kContentFixedSize);
    putHeader(message, 5, kContentFixedSize + static_cast<unsigned long>(size));
    copyTo(fileName, message + 8, 256);
    copyTo(fileType, message + 520, 256);
    return queueMessage(kContentFixedSize, static_cast<const unsigned char*>(content),
                        static_cast<unsigned long>(size));
}

bool cSDKServer::SendImageAs(unsigned char* bitmap, int width, int height, CFStringRef fileName) {
    if (!beginSend())
        return false;
    if (bitmap == nullptr || fileName == nullptr)
        return endSend(2);
    if (width < 0 || height < 0)
        return endSend(8);
    const uint64_t size = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 4u;
    if (size > kLargestPayload)
        return endSend(8);
    unsigned char* message = messageStart();
    std::memset(message, 0, kImageFixedSize);
    putHeader(message, 6, kImageFixedSize + size);
    copyTo(fileName, message + 8, 256);
    putLittleEndian32(message + 520, static_cast<uint32_t>(width));
    putLittleEndian32(message + 524, static_cast<uint32_t>(height));
    return queueMessage(kImageFixedSize, bitmap, static_cast<unsigned long>(size));
}

bool cSDKServer::SetIndex(CFStringRef fileName) {
    if (!beginSend())
        return false;
    if (fileName == nullptr)
        return endSend(2);
    unsigned char* message = messageStart();
    std::memset(message, 0, kIndexSize);
    putHeader(message, 7, kIndexSize);
    copyTo(fileName, message + 8, 256);
    return queueMessage(kIndexSize, nullptr, 0);
}

bool cSDKServer::SetTagPropertyBy(CFStringRef tag, CFStringRef property, CFStringRef value, int byClass) {
    if (!beginSend())
        return false;
    if (tag == nullptr || property == nullptr || value == nullptr)
        return endSend(2);
    unsigned char* message = messageStart();
    std::memset(message, 0, kTagPropertySize);
    putHeader(message, 8, kTagPropertySize);
    putLittleEndian32(message + 8, static_cast<uint32_t>(byClass));
    copyTo(tag, message + 12, 128);
    copyTo(property, message + 268, 128);
    copyTo(value, message + 524, 128);
    return queueMessage(kTagPropertySize, nullptr, 0);
}

bool cSDKServer::SetTagContentBy(CFStringRef tag, unsigned char* content, unsigned long size, int byClass) {
    if (!beginSend())
        return false;
    if (tag == nullptr || content == nullptr)
        return endSend(2);
    if (size > kLargestPayload)
        return endSend(8);
    unsigned char* message = messageStart();
    std::memset(message, 0, kTagContentFixedSize);
    putHeader(message, 9, kTagContentFixedSize + size);
    putLittleEndian32(message + 8, static_cast<uint32_t>(byClass));
    copyTo(tag, message + 12, 128);
    return queueMessage(kTagContentFixedSize, content, size);
}

int cSDKServer::GetLastError() {
    std::lock_guard lock(callMutex_);
    return static_cast<int>(g_lastError.get());
}

template <typename Done> bool cSDKServer::waitWhileHostMoves(Done done) {
    using Clock = std::chrono::steady_clock;
    uint64_t lastSent = connection_ ? connection_->bytesSent() : 0;
    Clock::time_point lastMove = Clock::now();
    while (!done()) {
        if (!connection_)
            continue;
        const uint64_t sent = connection_->bytesSent();
        if (sent != lastSent) {
            lastSent = sent;
            lastMove = Clock::now();
        } else if (Clock::now() - lastMove >= kStalledHostLimit) {
            return false;
        }
    }
    return true;
}

void cSDKServer::giveUpOnHost() {
    // The stop event first: a writer whose write fails then ends at once
    // instead of draining the queue, and a send blocked for room fails.
    stopEvent_->Set();
    sendsCancelled_.store(true);
    if (connection_)
        connection_->abortWrites();
    ringBuffer_->wakeReaders();
    ringBuffer_->wakeWriters();
}

void cSDKServer::stopWriter() {
    if (!writerStarted_)
        return;
    stopEvent_->Set();
    ringBuffer_->wakeReaders();
    const auto ended = [this] {
        std::unique_lock lock(writerStateMutex_);
        return writerEnded_.wait_for(lock, std::chrono::milliseconds(50), [this] { return !writerRunning_; });
    };
    if (!waitWhileHostMoves(ended)) {
        giveUpOnHost();
        while (!ended()) {
        }
    }
    pthread_join(writerThread_, nullptr);
    writerStarted_ = false;
}

void cSDKServer::ShutDown() {
    std::lock_guard lifecycle(lifecycleMutex_);
    if (g_initialized.exchange(0) != 1)
        return;
    // A send in progress on another thread finishes first, so that only whole
    // messages are queued when the writer is told to stop; one that waits for
    // room on a host that stopped reading fails instead.
    if (!waitWhileHostMoves([this] { return callMutex_.try_lock_for(std::chrono::milliseconds(50)); })) {
        giveUpOnHost();
        callMutex_.lock();
    }
    // Sends that waited for the call mutex meanwhile find the library shut
    // down once they have it.
    accepting_ = false;
    stopWriter();
    // What the writer could not deliver (the host went away, or stopped
    // reading) never reaches a later connection.
    ringBuffer_->clear();
    sendsCancelled_.store(false);
    callMutex_.unlock();
    if (connection_) {
        connection_->shutdownAndCleanUp();
        connection_.reset();
    }
    // The applet's callback and context may not outlive it: a later Init
    // without a callback must not call them.
    callback_.store(nullptr);
    callbackContext_.store(nullptr);
}
