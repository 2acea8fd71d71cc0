// The frameless, always-on-top window at the top-left of the primary screen
// that shows a scene in flat colours, one window pixel per screen pixel.
#pragma once

#include "StripScene.h"

#include <QWidget>

namespace kv::painter {

class PainterWindow : public QWidget {
    Q_OBJECT

public:
    explicit PainterWindow(const StripScene& initial);

    // Paints `scene` now and waits until the X server has it, so whatever
    // the caller reports next is already on the screen.
    void showScene(const StripScene& scene);

signals:
    // After the first paint has reached the screen.
    void firstShown();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void placeAtTopLeft();

    StripScene scene_;
    bool shown_ = false;
};

} // namespace kv::painter
