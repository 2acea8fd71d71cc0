// The one server object behind the exported interface: it checks each call,
// builds the host message, queues it as frames in the ring buffer, and runs
// the writer thread that sends the frames over the host connection.
#ifndef HALV_C_SDK_SERVER_H
#define HALV_C_SDK_SERVER_H

#include "CircularBuffer.h"
#include "Event.h"
#include "HalvorinKeshControl.h"
#include "Interlocked.h"
#include "cTamberConnection.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <pthread.h>
#include <vector>

extern Interlocked<long> g_initialized;
extern Interlocked<long> g_lastError;
extern Interlocked<long> functionPending;

class cSDKServer {
public:
    static constexpr unsigned long kRingBufferCapacity = 400000;
    static constexpr unsigned long kChunkSize = 300000;
    static constexpr unsigned long kLargestFrame = 301032;
    static constexpr unsigned long kIconBytes = HALV_KESH_ICON_BYTES;
    static constexpr unsigned long kExecutablePathUnits = 255;
    // ShutDown gives up on a host that takes no bytes for this long.
    static constexpr std::chrono::milliseconds kStalledHostLimit{2000};
    // A sender blocked on a full queue wakes once this much room is free (or
    // what it still has to queue, if less), not on every read.
    static constexpr unsigned long kRoomWorthWaking = 65536;
    // Payloads up to this size are copied behind the message's fixed part and
    // queued in one piece; larger ones are queued straight from the caller.
    static constexpr unsigned long kSmallPayload = 4096;
    // The writer hands small complete frames to the socket straight from the
    // queue, several in one gather write of at most this many bytes and
    // pieces. A larger frame goes straight from the queue as far as the
    // socket takes it without blocking; the rest is copied out, so that the
    // queue holds as much for a slow host as if the whole frame had been.
    static constexpr unsigned long kLargestBatchedFrame = 65536;
    static constexpr unsigned long kBatchBytes = 262144;
    static constexpr unsigned long kMostPiecesPerSend = 256;
    static constexpr unsigned long kLengthWord = sizeof(uint64_t);
    // Set in a frame's length word (which never leaves the library) when the
    // frame continues the message of the frame before it.
    static constexpr uint64_t kContinuationFrame = uint64_t{1} << 63;
    // Reconnection attempts while the host is away: at most one a second,
    // and one every five seconds while the applet sends nothing.
    static constexpr std::chrono::seconds kReconnectInterval{1};
    static constexpr std::chrono::seconds kIdleReconnectInterval{5};

    cSDKServer();
    virtual ~cSDKServer();
    cSDKServer(const cSDKServer&) = delete;
    cSDKServer& operator=(const cSDKServer&) = delete;

    bool Init(CFStringRef identifier, CFStringRef friendlyName, halvKeshCbContext* callbackContext);
    bool InitWIcon(CFStringRef identifier, CFStringRef friendlyName, halvKeshCbContext* callbackContext,
                   unsigned char* iconBitmap);
    bool SendFileAs(CFStringRef filePath, CFStringRef fileName, CFStringRef fileType);
    bool SendContentAs(const void* content, int size, CFStringRef fileName, CFStringRef fileType);
    bool SendImageAs(unsigned char* bitmap, int width, int height, CFStringRef fileName);
    bool SetIndex(CFStringRef fileName);
    bool SetTagPropertyBy(CFStringRef tag, CFStringRef property, CFStringRef value, int byClass);
    bool SetTagContentBy(CFStringRef tag, unsigned char* content, unsigned long size, int byClass);
    int GetLastError();
    void ShutDown();

    halvKeshCallback getCallbackFunc() const { return callback_.load(); }
    void* getCallbackContext() const { return callbackContext_.load(); }
    bool wasInitializedWithCallback() const { return callback_.load() != nullptr; }

    // Copies at most maxUnits UTF-16 units of `text` into `destination` as
    // little-endian units; returns the number copied.
    static unsigned long copyTo(CFStringRef text, unsigned char* destination, unsigned long maxUnits);
    // Fills a zeroed registration message (type 2, or 3 with an icon).
    static void buildRegistration(unsigned char* message, CFStringRef identifier, CFStringRef friendlyName,
                                  CFStringRef executablePath, const unsigned char* iconBitmap);

    // Queue bytes, waiting for room; false (with part of the bytes queued)
    // when ShutDown gave up on the host meanwhile.
    bool writeSafely(const void* bytes, unsigned long count);
    bool writeToRingBuffer(const void* bytes, unsigned long count);

private:
    enum class Registration { plain, withIcon };

    // The call mutex, with a timed try for ShutDown's watch on the host.
    // Built on a condition variable rather than std::timed_mutex, whose clock
    // lock the thread sanitizer does not follow.
    class CallMutex {
    public:
        void lock();
        void unlock();
        bool try_lock_for(std::chrono::milliseconds timeout);

    private:
        std::mutex mutex_;
        std::condition_variable released_;
        bool held_ = false;
    };

    // The writer's view of a host that went away.
    struct HostLoss {
        bool reported = false;
        std::chrono::steady_clock::time_point lastAttempt;
    };

    bool initialize(CFStringRef identifier, CFStringRef friendlyName, halvKeshCbContext* callbackContext,
                    unsigned char* iconBitmap, Registration kind);
    bool failInit(long code);
    bool connectToTamber();
    bool startWriter();
    bool beginSend();
    bool endSend(long code);
    bool queueMessage(unsigned long fixedSize, const unsigned char* payload, unsigned long payloadSize);
    // Waits until `done` holds; false when the host took no bytes for
    // kStalledHostLimit meanwhile.
    template <typename Done> bool waitWhileHostMoves(Done done);
    // Ends the writer at once and fails the send that waits for room: the
    // host stopped reading.
    void giveUpOnHost();
    void stopWriter();

    static void* _WritingThread(void* server);
    void WritingThread();
    // The writer notices the host is gone; reports it once.
    void noteHostLost(HostLoss& loss);
    // Connects again when an attempt is due and sends the registration first;
    // true when the host is back.
    bool tryReconnect(HostLoss& loss);

    // Serialises Init and ShutDown; taken before the call mutex.
    std::mutex lifecycleMutex_;
    // Under the call mutex: sends are taken from the end of a successful Init
    // until ShutDown.
    bool accepting_ = false;
    // Set by ShutDown when it gives up on the host, so that a send waiting
    // for room fails instead.
    std::atomic<bool> sendsCancelled_{false};
    // The registration as Init queued it, sent again on every reconnection.
    std::vector<unsigned char> registration_;

    std::atomic<halvKeshCallback> callback_{nullptr};
    std::atomic<void*> callbackContext_{nullptr};
    std::unique_ptr<cTamberConnection> connection_;
    pthread_t writerThread_{};
    bool writerStarted_ = false;
    std::unique_ptr<Event> stopEvent_;
    CallMutex callMutex_;
    std::unique_ptr<CircularBuffer> ringBuffer_;
    // Used under the call mutex: room for a frame's length word, then the
    // message, so that both go into the queue in one write.
    std::vector<unsigned char> messageBuffer_;
    unsigned char* messageStart() { return messageBuffer_.data() + kLengthWord; }

    std::mutex writerStateMutex_;
    std::condition_variable writerEnded_;
    bool writerRunning_ = false;
};

#endif
