#include "platform/qt/QtRunLoop.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <utility>

namespace kv {

namespace {

int wholeMilliseconds(std::chrono::duration<double> duration) {
    const double ms = std::round(duration.count() * 1000.0);
    return static_cast<int>(std::clamp(ms, 0.0, 86400000.0));
}

} // namespace

QtRunLoop::QtRunLoop() : context_(std::make_unique<QObject>()) {}

QtRunLoop::~QtRunLoop() {
    stopSampling();
}

// Timers and queued work go on, and the window repaints; clicks and keys wait
// until the outer loop runs again, so no command re-enters the running one.
void QtRunLoop::runFor(std::chrono::duration<double> duration) {
    if (quitRequested_)
        return;
    QEventLoop loop;
    QTimer::singleShot(wholeMilliseconds(duration), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    QEventLoop* const outer = std::exchange(waiting_, &loop);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    waiting_ = outer;
}

void QtRunLoop::requestQuit() {
    quitRequested_ = true;
    if (waiting_)
        waiting_->quit();
}

void QtRunLoop::postToMain(std::function<void()> work) {
    QMetaObject::invokeMethod(context_.get(), std::move(work), Qt::QueuedConnection);
}

TimerId QtRunLoop::scheduleRepeating(std::chrono::duration<double> interval, std::function<void()> action) {
    auto* timer = new QTimer(context_.get());
    // The reader's 50 ms must not be stretched by coarse timer slack.
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(std::max(1, wholeMilliseconds(interval)));
    QObject::connect(timer, &QTimer::timeout, context_.get(), std::move(action));
    timer->start();
    const TimerId id = nextId_++;
    timers_.emplace(id, timer);
    return id;
}

TimerId QtRunLoop::scheduleSampling(std::chrono::duration<double> interval, Sampler sample) {
    const TimerId id = nextId_++;
    samplers_.emplace(id, std::make_unique<SamplingThread>(interval, std::move(sample)));
    return id;
}

void QtRunLoop::stopSampling() {
    samplers_.clear();
}

} // namespace kv
