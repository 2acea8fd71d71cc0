// The add-on's strip, painted by a benchmark where an application that was
// never calibrated looks for it, 80 pixels from x 2, y 1: of the X display,
// in a frameless window at its top-left corner; or, given a title, of the
// client area of an ordinary window so titled, like the game's. Cells 0 and
// 10 are always lit, 1 and 11 lit in phase 1, cells 2 to 9 carry the byte's
// bits, highest first.
#pragma once

#include <QString>
#include <QWidget>

#include <array>

namespace kv::bench {

class StripWindow : public QWidget {
public:
    static constexpr int kCells = 12;
    static constexpr double kWidth = 80.0;
    static constexpr int kRows = 6;

    explicit StripWindow(const QString& gameTitle = {}, QPoint at = {});
    // Painted at once, so the next capture on the same X connection sees it.
    void showFrame(int value, int phase);
    void showDark();

protected:
    void paintEvent(QPaintEvent*) override;

private:
    std::array<bool, kCells> lit_{};
};

} // namespace kv::bench
