#include "platform/qt/SamplingThread.h"

namespace kv {

namespace {

// Beyond this the thread was stopped (a suspended machine, a debugger): its
// ticks are gone, and a burst of samples of the present would tell nothing.
constexpr auto longestCatchUp = std::chrono::seconds(1);

} // namespace

SamplingThread::SamplingThread(std::chrono::duration<double> interval, Sampler sample)
    : interval_(std::chrono::duration_cast<Clock::duration>(interval)), sample_(std::move(sample)),
      mainContext_(std::make_unique<QObject>()), thread_([this](const std::stop_token& stop) { run(stop); }) {
}

SamplingThread::~SamplingThread() {
    thread_.request_stop();
    if (thread_.joinable())
        thread_.join();
}

void SamplingThread::run(const std::stop_token& stop) {
    auto due = Clock::now() + interval_;
    while (!stop.stop_requested()) {
        {
            std::unique_lock lock(mutex_);
            wake_.wait_until(lock, stop, due, [] { return false; });
        }
        if (stop.stop_requested())
            return;
        if (SampleWork work = sample_())
            hand(std::move(work));
        due += interval_;
        if (const auto now = Clock::now(); now - due > longestCatchUp)
            due = now + interval_;
    }
}

void SamplingThread::hand(SampleWork work) {
    const std::lock_guard lock(mutex_);
    pending_.push_back(std::move(work));
    if (deliveryPosted_)
        return;
    deliveryPosted_ = true;
    QMetaObject::invokeMethod(
        mainContext_.get(), [this] { deliver(); }, Qt::QueuedConnection);
}

void SamplingThread::deliver() {
    std::deque<SampleWork> works;
    {
        const std::lock_guard lock(mutex_);
        works.swap(pending_);
        deliveryPosted_ = false;
    }
    for (const SampleWork& work : works)
        work();
}

} // namespace kv
