#include "desktop/DebugCellView.h"

#include "channel/StripFrame.h"

#include <QPainter>

namespace kv {

namespace {

constexpr int cellCount = channel::kCellCount;
// Room for each cell and for the frame's description after them.
constexpr int cellWidth = 28;
constexpr int descriptionWidth = 200;
constexpr int viewHeight = 30;

QColor qtColor(const PixelColor& color) {
    return QColor::fromRgbF(static_cast<float>(color.red), static_cast<float>(color.green),
                            static_cast<float>(color.blue));
}

} // namespace

DebugCellView::DebugCellView(QWidget* parent) : QWidget(parent) {
    setToolTip(
        tr("What the screen reader sampled last: the 12 cells of the strip; lit cells are underlined"));
}

void DebugCellView::setCells(const std::array<PixelColor, 12>& colors,
                             const std::array<std::int64_t, 12>& lit) {
    if (colors == colors_ && lit == lit_)
        return;
    colors_ = colors;
    lit_ = lit;
    update();
}

QString DebugCellView::describeFrame(const std::array<std::int64_t, 12>& lit) {
    const int value = channel::frameValue(lit);
    QString phase;
    switch (channel::framePhase(lit)) {
    case channel::FramePhase::Phase0:
        phase = QStringLiteral("phase 0");
        break;
    case channel::FramePhase::Phase1:
        phase = QStringLiteral("phase 1");
        break;
    case channel::FramePhase::None:
        phase = QStringLiteral("no frame");
        break;
    }
    QString text = QStringLiteral("%1, value %2").arg(phase).arg(value);
    if (value >= 0x20 && value < 0x7F)
        text += QStringLiteral(" '%1'").arg(QChar(value));
    return text;
}

QSize DebugCellView::sizeHint() const {
    return {cellCount * cellWidth + descriptionWidth, viewHeight};
}

void DebugCellView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int cellWidth = 24;
    const int cellHeight = height() - 8;
    for (int i = 0; i < cellCount; ++i) {
        const QRect cell(i * (cellWidth + 4), 0, cellWidth, cellHeight);
        painter.fillRect(cell, qtColor(colors_[static_cast<std::size_t>(i)]));
        painter.setPen(palette().color(QPalette::Mid));
        painter.drawRect(cell.adjusted(0, 0, -1, -1));
        if (lit_[static_cast<std::size_t>(i)] != 0)
            painter.fillRect(QRect(cell.left(), cellHeight + 3, cellWidth, 4),
                             palette().color(QPalette::Text));
    }
    painter.setPen(palette().color(QPalette::Text));
    const QRect textArea(cellCount * (cellWidth + 4) + 8, 0, width() - cellCount * (cellWidth + 4) - 8,
                         height());
    painter.drawText(textArea, Qt::AlignVCenter | Qt::AlignLeft, describeFrame(lit_));
}

} // namespace kv
