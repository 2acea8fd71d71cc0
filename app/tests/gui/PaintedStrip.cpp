#include "PaintedStrip.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace kv::guitest {

namespace {

constexpr int stripRows = 6;

const QColor dark(0, 0, 0);
const QColor magenta(255, 0, 255);
const QColor yellow(255, 255, 0);
const QColor blue(0, 0, 255);
const QColor green(0, 255, 0);
const QColor red(255, 0, 0);
const QColor white(255, 255, 255);
const QColor cyan(0, 255, 255);

} // namespace

PaintedStrip::PaintedStrip(int top, int cellWidth)
    : QWidget(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::X11BypassWindowManagerHint |
                           Qt::WindowDoesNotAcceptFocus),
      cellWidth_(cellWidth) {
    cells_.fill(dark);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setGeometry(0, top, 12 * cellWidth, stripRows);
    hold_.setSingleShot(true);
    hold_.setTimerType(Qt::PreciseTimer);
    connect(&hold_, &QTimer::timeout, this, [this] { nextFrame(); });
}

void PaintedStrip::showCalibrationPattern() {
    showCells({magenta, dark, yellow, blue, green, red, white, magenta, cyan, yellow, cyan, dark});
}

void PaintedStrip::showFrame(int value, int phase) {
    std::array<QColor, 12> cells;
    cells.fill(dark);
    // Lit cells in different colours: one lit component is enough.
    const QColor lit[3] = {red, green, white};
    const auto light = [&](int cell) { cells[static_cast<std::size_t>(cell)] = lit[cell % 3]; };
    light(0);
    light(10);
    if (phase != 0) {
        light(1);
        light(11);
    }
    for (int bit = 0; bit < 8; ++bit)
        if ((value >> bit) & 1)
            light(9 - bit);
    showCells(cells);
}

void PaintedStrip::sendMessage(const std::string& utf8, int holdMs) {
    std::vector<int> bytes(utf8.begin(), utf8.end());
    for (auto& byte : bytes)
        byte &= 0xFF;
    bytes.push_back(7);
    bytes.push_back(8);
    for (auto byte = bytes.rbegin(); byte != bytes.rend(); ++byte) {
        pending_.emplace_back(*byte, 1);
        pending_.emplace_back(*byte, 0);
    }
    hold_.setInterval(holdMs);
    if (!hold_.isActive())
        nextFrame();
}

void PaintedStrip::nextFrame() {
    if (pending_.empty()) {
        std::array<QColor, 12> none;
        none.fill(dark); // no frame
        showCells(none);
        return;
    }
    const auto [value, phase] = pending_.back();
    pending_.pop_back();
    showFrame(value, phase);
    hold_.start();
}

void PaintedStrip::showCells(const std::array<QColor, 12>& cells) {
    cells_ = cells;
    show();
    update();
}

void PaintedStrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    for (int cell = 0; cell < 12; ++cell)
        painter.fillRect(QRect(cell * cellWidth_, 0, cellWidth_, height()),
                         cells_[static_cast<std::size_t>(cell)]);
}

} // namespace kv::guitest
