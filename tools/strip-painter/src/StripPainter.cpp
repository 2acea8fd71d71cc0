#include "StripPainter.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kv::painter {

namespace {

// QTimer takes an int; longer waits are clamped to about 24 days.
int milliseconds(double seconds) {
    const double ms = std::clamp(seconds * 1000.0, 0.0, static_cast<double>(std::numeric_limits<int>::max()));
    return static_cast<int>(std::lround(ms));
}

} // namespace

StripPainter::StripPainter(const PainterOptions& options, std::function<void(const std::string&)> say)
    : holdSeconds_(options.holdSeconds), cellPixels_(options.cellPixels), say_(std::move(say)),
      window_(frameScene(idleCells(), options.cellPixels), options.window) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &StripPainter::step);
    connect(&window_, &PainterWindow::firstShown, this, [this] {
        ready_ = true;
        say_("ready");
        emit ready();
        startNext();
    });
}

void StripPainter::start() {
    window_.show();
}

void StripPainter::enqueue(PainterCommand command) {
    queue_.push_back(std::move(command));
    if (job_ == Job::OpenCalibration) {
        // An open-ended pattern lasts until something else is asked for.
        job_ = Job::None;
        showIdle();
    }
    startNext();
}

void StripPainter::finishAfterQueue() {
    enqueue(QuitCommand{});
}

void StripPainter::startNext() {
    if (!ready_ || job_ != Job::None)
        return;
    while (!queue_.empty()) {
        PainterCommand command = std::move(queue_.front());
        queue_.pop_front();
        if (begin(command))
            return;
    }
}

bool StripPainter::begin(PainterCommand& command) {
    if (auto* message = std::get_if<MessageCommand>(&command)) {
        auto frames = framesForMessage(message->text);
        if (!frames) {
            say_("refused: " + message->text);
            return false;
        }
        messageText_ = std::move(message->text);
        frames_ = std::move(*frames);
        job_ = Job::Message;
        showFrame(0);
        timer_.start(milliseconds(holdSeconds_));
        return true;
    }
    if (const auto* calibrate = std::get_if<CalibrateCommand>(&command)) {
        window_.showScene(calibrationScene(calibrate->geometry));
        say_("calibrating");
        if (calibrate->seconds) {
            job_ = Job::Calibration;
            timer_.start(milliseconds(*calibrate->seconds));
        } else {
            job_ = Job::OpenCalibration;
        }
        return true;
    }
    if (const auto* move = std::get_if<MoveCommand>(&command)) {
        window_.moveTo(move->x, move->y);
        say_("moved: " + std::to_string(move->x) + " " + std::to_string(move->y));
        return false;
    }
    if (std::holds_alternative<IdleCommand>(command)) {
        showIdle();
        return false;
    }
    queue_.clear();
    timer_.stop();
    emit finished();
    return true;
}

void StripPainter::step() {
    switch (job_) {
    case Job::Message:
        if (frameIndex_ + 1 < frames_.size()) {
            showFrame(frameIndex_ + 1);
        } else {
            // The last frame has had its hold; the strip is black for a while before the next message.
            showIdle();
            say_("painted: " + messageText_);
            job_ = Job::MessageGap;
            timer_.start(milliseconds(kGapSeconds));
            return;
        }
        timer_.start(milliseconds(holdSeconds_));
        return;
    case Job::Calibration:
        showIdle();
        break;
    default:
        break;
    }
    job_ = Job::None;
    startNext();
}

void StripPainter::showIdle() {
    window_.showScene(frameScene(idleCells(), cellPixels_));
}

void StripPainter::showFrame(std::size_t index) {
    frameIndex_ = index;
    window_.showScene(frameScene(frames_[index].cells, cellPixels_));
}

} // namespace kv::painter
