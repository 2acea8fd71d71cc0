// The one server object behind the exported interface: it runs Init and
// ShutDown, checks each send, builds its message and queues it as frames in
// the ring buffer, and owns the writer thread that sends the frames over the
// host connection.
//
// Lifecycle: Init and ShutDown are serialised by the lifecycle mutex. Sends
// are serialised by the call mutex, taken after the lifecycle mutex, and are
// accepted only from the end of a successful Init until ShutDown: a send
// either completes before ShutDown takes the call mutex, or fails with
// HalvKeshErrorNotInitialized.
#ifndef HALV_C_SDK_SERVER_H
#define HALV_C_SDK_SERVER_H

#include "HalvorinKeshControl.h"
#include "core/CircularBuffer.h"
#include "core/Event.h"
#include "core/Interlocked.h"
#include "core/cTamberConnection.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
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
    // ShutDown gives up on a host that takes no bytes for this long.
    static constexpr std::chrono::milliseconds kStalledHostLimit{2000};

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

    bool initialize(CFStringRef identifier, CFStringRef friendlyName, halvKeshCbContext* callbackContext,
                    unsigned char* iconBitmap, Registration kind);
    bool failInit(HalvKeshErrorCode code);
    bool connectToTamber();
    bool startWriter();
    // Runs one send operation: the initialised test, the call mutex, and the
    // code that `operation` returns as the last error.
    template <typename Operation> bool send(Operation operation);
    // Queues the message built in the message buffer (its fixed part of
    // `fixedSize` bytes) and its payload, in frames.
    HalvKeshErrorCode queueMessage(unsigned long fixedSize, const unsigned char* payload,
                                   unsigned long payloadSize);
    unsigned char* messageStart();
    // Waits until `done` holds; false when the host took no bytes for
    // kStalledHostLimit meanwhile.
    template <typename Done> bool waitWhileHostMoves(Done done);
    // Ends the writer at once and fails the send that waits for room: the
    // host stopped reading.
    void giveUpOnHost();
    void stopWriter();

    static void* _WritingThread(void* server);
    void WritingThread();

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

    std::mutex writerStateMutex_;
    std::condition_variable writerEnded_;
    bool writerRunning_ = false;
};

#endif
