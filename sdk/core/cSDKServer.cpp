#include "core/cSDKServer.h"

#include "core/FrameFormat.h"
#include "core/FrameWriter.h"
#include "core/HostMessages.h"
#include "core/memcpy_s.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <unistd.h>

Interlocked<long> g_initialized{0};
Interlocked<long> g_lastError{HalvKeshErrorNone};
Interlocked<long> functionPending{0};

namespace {

// A sender blocked on a full queue wakes once this much room is free (or
// what it still has to queue, if less), not on every read.
constexpr unsigned long kRoomWorthWaking = 65536;
// Payloads up to this size are copied behind the message's fixed part and
// queued with it in one write; larger ones are queued straight from the
// caller.
constexpr unsigned long kSmallPayload = 4096;
// How long one turn of ShutDown's watch on the host waits.
constexpr std::chrono::milliseconds kWatchTurn{50};

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
      messageBuffer_(frame::kLengthWord + frame::kLargestFrame) {}

cSDKServer::~cSDKServer() {
    // A process that ends without ShutDown still gets its queued frames out and
    // its writer thread stopped before the objects it uses go away.
    ShutDown();
}

bool cSDKServer::Init(CFStringRef identifier, CFStringRef friendlyName, halvKeshCbContext* callbackContext) {
    return initialize(identifier, friendlyName, callbackContext, nullptr, Registration::plain);
}

bool cSDKServer::InitWIcon(CFStringRef identifier, CFStringRef friendlyName,
                           halvKeshCbContext* callbackContext, unsigned char* iconBitmap) {
    return initialize(identifier, friendlyName, callbackContext, iconBitmap, Registration::withIcon);
}

bool cSDKServer::failInit(HalvKeshErrorCode code) {
    g_lastError.set(code);
    g_initialized.set(0);
    return false;
}

bool cSDKServer::initialize(CFStringRef identifier, CFStringRef friendlyName,
                            halvKeshCbContext* callbackContext, unsigned char* iconBitmap,
                            Registration kind) {
    std::lock_guard lifecycle(lifecycleMutex_);
    if (g_initialized.exchange(1) != 0) {
        g_lastError.set(HalvKeshErrorAlreadyInitialized);
        return false;
    }
    if (identifier == nullptr || friendlyName == nullptr)
        return failInit(HalvKeshErrorNullArgument);
    if (CFStringGetLength(identifier) == 0 || (kind == Registration::withIcon && iconBitmap == nullptr))
        return failInit(HalvKeshErrorEmptyIdentifierOrNoIcon);
    if (callbackContext != nullptr) {
        callback_.store(callbackContext->callback);
        callbackContext_.store(callbackContext->context);
    }
    try {
        // Everything that allocates comes before the writer starts, so that a
        // failure leaves no writer behind. The registration is kept: the
        // writer sends it again on every reconnection.
        registration_.resize(kind == Registration::withIcon ? protocol::registration::kSizeWithIcon
                                                            : protocol::registration::kSize);
        CFStringRef executable = executablePath();
        hostmessages::buildRegistration(registration_.data(), identifier, friendlyName, executable,
                                        iconBitmap);
        CFRelease(executable);

        if (!connectToTamber())
            return failInit(HalvKeshErrorConnectFailed);
        connection_->startReading();
        if (!startWriter())
            return failInit(HalvKeshErrorWriterFailed);
    } catch (...) {
        // Out of memory: the library could not get going.
        return failInit(HalvKeshErrorWriterFailed);
    }
    {
        // Sends are taken only from here on, so the registration is always
        // the first message on the connection.
        std::lock_guard lock(callMutex_);
        writeToRingBuffer(registration_.data(), registration_.size());
        accepting_ = true;
    }
    g_lastError.set(HalvKeshErrorNone);
    return true;
}

bool cSDKServer::connectToTamber() {
    if (connection_)
        return true;
    auto connection = std::make_unique<cTamberConnection>([this] { ringBuffer_->wakeReaders(); });
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

void cSDKServer::WritingThread() {
    FrameWriter(*ringBuffer_, *connection_, *stopEvent_, registration_).run();
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

template <typename Operation> bool cSDKServer::send(Operation operation) {
    if (g_initialized.get() == 0) {
        g_lastError.set(HalvKeshErrorNotInitialized);
        return false;
    }
    std::lock_guard lock(callMutex_);
    // A send that waited for the call mutex while ShutDown ran finds the
    // library shut down: nothing it would queue could be delivered.
    if (!accepting_) {
        g_lastError.set(HalvKeshErrorNotInitialized);
        return false;
    }
    functionPending.add(1);
    const HalvKeshErrorCode code = operation();
    g_lastError.set(code);
    functionPending.add(-1);
    return code == HalvKeshErrorNone;
}

unsigned char* cSDKServer::messageStart() {
    return messageBuffer_.data() + frame::kLengthWord;
}

HalvKeshErrorCode cSDKServer::queueMessage(unsigned long fixedSize, const unsigned char* payload,
                                           unsigned long payloadSize) {
    // The frames are queued straight from the caller's bytes: a large payload
    // is copied once, into the queue. A small one joins the fixed part, so
    // that the frame goes in with one write and wakes the writer once.
    unsigned char* message = messageStart();
    const unsigned long first = std::min(payloadSize, frame::kChunkSize);
    const unsigned long joined = first <= kSmallPayload ? first : 0;
    if (joined > 0 && memcpy_s(message + fixedSize, messageBuffer_.size() - frame::kLengthWord - fixedSize,
                               payload, joined) != 0)
        return HalvKeshErrorCopyFailed;
    const uint64_t firstLength = fixedSize + first;
    std::memcpy(messageBuffer_.data(), &firstLength, frame::kLengthWord);
    bool queued = writeSafely(messageBuffer_.data(), frame::kLengthWord + fixedSize + joined) &&
                  writeSafely(payload + joined, first - joined);
    for (unsigned long offset = first; queued && offset < payloadSize;) {
        const uint64_t chunk = std::min(payloadSize - offset, frame::kChunkSize);
        const uint64_t word = chunk | frame::kContinuation;
        queued = writeSafely(&word, frame::kLengthWord) && writeSafely(payload + offset, chunk);
        offset += chunk;
    }
    // Only ShutDown stops a send half-way; to the applet the library was shut
    // down before this message could go.
    return queued ? HalvKeshErrorNone : HalvKeshErrorNotInitialized;
}

bool cSDKServer::SendFileAs(CFStringRef filePath, CFStringRef fileName, CFStringRef fileType) {
    return send([&] {
        if (filePath == nullptr || fileName == nullptr || fileType == nullptr)
            return HalvKeshErrorNullArgument;
        return queueMessage(hostmessages::buildFile(messageStart(), filePath, fileName, fileType), nullptr,
                            0);
    });
}

bool cSDKServer::SendContentAs(const void* content, int size, CFStringRef fileName, CFStringRef fileType) {
    return send([&] {
        if (content == nullptr || fileName == nullptr || fileType == nullptr)
            return HalvKeshErrorNullArgument;
        if (size < 0)
            return HalvKeshErrorCopyFailed;
        const auto payloadSize = static_cast<unsigned long>(size);
        return queueMessage(hostmessages::buildContent(messageStart(), payloadSize, fileName, fileType),
                            static_cast<const unsigned char*>(content), payloadSize);
    });
}

bool cSDKServer::SendImageAs(unsigned char* bitmap, int width, int height, CFStringRef fileName) {
    return send([&] {
        if (bitmap == nullptr || fileName == nullptr)
            return HalvKeshErrorNullArgument;
        if (width < 0 || height < 0)
            return HalvKeshErrorCopyFailed;
        const uint64_t size = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * 4u;
        if (size > protocol::kLargestPayload)
            return HalvKeshErrorCopyFailed;
        return queueMessage(hostmessages::buildImage(messageStart(), width, height, size, fileName), bitmap,
                            size);
    });
}

bool cSDKServer::SetIndex(CFStringRef fileName) {
    return send([&] {
        if (fileName == nullptr)
            return HalvKeshErrorNullArgument;
        return queueMessage(hostmessages::buildIndex(messageStart(), fileName), nullptr, 0);
    });
}

bool cSDKServer::SetTagPropertyBy(CFStringRef tag, CFStringRef property, CFStringRef value, int byClass) {
    return send([&] {
        if (tag == nullptr || property == nullptr || value == nullptr)
            return HalvKeshErrorNullArgument;
        return queueMessage(hostmessages::buildTagProperty(messageStart(), byClass, tag, property, value),
                            nullptr, 0);
    });
}

bool cSDKServer::SetTagContentBy(CFStringRef tag, unsigned char* content, unsigned long size, int byClass) {
    return send([&] {
        if (tag == nullptr || content == nullptr)
            return HalvKeshErrorNullArgument;
        if (size > protocol::kLargestPayload)
            return HalvKeshErrorCopyFailed;
        return queueMessage(hostmessages::buildTagContent(messageStart(), byClass, size, tag), content, size);
    });
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
        return writerEnded_.wait_for(lock, kWatchTurn, [this] { return !writerRunning_; });
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
    if (!waitWhileHostMoves([this] { return callMutex_.try_lock_for(kWatchTurn); })) {
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
