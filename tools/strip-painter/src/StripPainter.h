// Runs the painter's commands one after another: the frames of each message
// for the hold time each, then an idle strip for half a second, as the add-on
// does; the calibration pattern for its seconds, or until the next command.
// A QTimer steps the frames, so the event loop never blocks.
#pragma once

#include "PainterCommand.h"
#include "PainterOptions.h"
#include "PainterWindow.h"

#include <QObject>
#include <QTimer>

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace kv::painter {

class StripPainter : public QObject {
    Q_OBJECT

public:
    // `say` receives each status line ("ready", "painted: TEXT", ...).
    StripPainter(const PainterOptions& options, std::function<void(const std::string&)> say);

    // Shows the window; "ready" is said once it is on the screen.
    void start();
    void enqueue(PainterCommand command);
    // No further commands: quit once the queued ones are done.
    void finishAfterQueue();

signals:
    void ready();
    void finished();

private:
    void startNext();
    // False when the command is done at once (idle, a refused message).
    bool begin(PainterCommand& command);
    void step();
    void showIdle();
    void showFrame(std::size_t index);

    enum class Job { None, Message, MessageGap, Calibration, OpenCalibration };

    double holdSeconds_;
    double cellPixels_;
    std::function<void(const std::string&)> say_;
    PainterWindow window_;
    QTimer timer_;
    std::deque<PainterCommand> queue_;
    bool ready_ = false;
    Job job_ = Job::None;
    std::string messageText_;
    std::vector<StripFrame> frames_;
    std::size_t frameIndex_ = 0;
};

} // namespace kv::painter
