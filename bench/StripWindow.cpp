#include "StripWindow.h"

#include <QPainter>

#include <cmath>
#include <cstddef>

namespace kv::bench {

StripWindow::StripWindow(const QString& gameTitle, QPoint at)
    : QWidget(nullptr, gameTitle.isEmpty() ? Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                                                 Qt::X11BypassWindowManagerHint | Qt::WindowDoesNotAcceptFocus
                                           : Qt::Window | Qt::WindowDoesNotAcceptFocus) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle(gameTitle);
    setGeometry(at.x(), at.y(), static_cast<int>(kWidth) + 4, gameTitle.isEmpty() ? kRows : 4 * kRows);
}

void StripWindow::showFrame(int value, int phase) {
    lit_.fill(false);
    lit_[0] = lit_[10] = true;
    if (phase != 0)
        lit_[1] = lit_[11] = true;
    for (int bit = 0; bit < 8; ++bit)
        lit_[static_cast<std::size_t>(9 - bit)] = ((value >> bit) & 1) != 0;
    repaint();
}

void StripWindow::showDark() {
    lit_.fill(false);
    repaint();
}

void StripWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    const double cell = kWidth / kCells;
    for (int i = 0; i < kCells; ++i) {
        const int left = static_cast<int>(std::lround(i * cell));
        const int right = static_cast<int>(std::lround((i + 1) * cell));
        painter.fillRect(left, 0, right - left, kRows,
                         lit_[static_cast<std::size_t>(i)] ? Qt::white : Qt::black);
    }
}

} // namespace kv::bench
