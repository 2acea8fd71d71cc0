// A stand-in for the add-on in the GUI tests: a frameless window at the
// top-left corner of the X display that paints the strip's 12 cells, either
// the calibration pattern or the frames of a message, byte by byte.
#pragma once

#include <QColor>
#include <QTimer>
#include <QWidget>

#include <array>
#include <string>
#include <utility>
#include <vector>

namespace kv::guitest {

class PaintedStrip : public QWidget {
public:
    // The strip's rows start at `top`; each cell is `cellWidth` pixels wide.
    PaintedStrip(int top, int cellWidth);

    void showCalibrationPattern();
    // Every byte as a phase-0 then a phase-1 frame, each held `holdMs`,
    // followed by the terminator 7, 8; then the strip goes dark.
    void sendMessage(const std::string& utf8, int holdMs);
    void showFrame(int value, int phase);
    bool sending() const { return !pending_.empty() || hold_.isActive(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void nextFrame();
    void showCells(const std::array<QColor, 12>& cells);

    int cellWidth_;
    std::array<QColor, 12> cells_;
    std::vector<std::pair<int, int>> pending_; // value, phase; next frame last
    QTimer hold_;
};

} // namespace kv::guitest
