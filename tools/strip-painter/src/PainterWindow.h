// The window that shows a scene in flat colours, one window pixel per screen
// pixel: by default frameless and always on top at the top-left of the
// primary screen, bypassing the window manager; in window mode an ordinary
// titled window, like the game's, with the scene at its client area's corner.
#pragma once

#include "PainterOptions.h"
#include "StripScene.h"

#include <QWidget>

#include <optional>

namespace kv::painter {

class PainterWindow : public QWidget {
    Q_OBJECT

public:
    PainterWindow(const StripScene& initial, std::optional<WindowPlacement> placement);

    // Paints `scene` now and waits until the X server has it, so whatever
    // the caller reports next is already on the screen.
    void showScene(const StripScene& scene);
    // Window mode: moves the window and waits until the X server has it.
    void moveTo(int x, int y);

signals:
    // After the first paint has reached the screen.
    void firstShown();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void fitScene();

    StripScene scene_;
    std::optional<WindowPlacement> placement_;
    bool shown_ = false;
};

} // namespace kv::painter
