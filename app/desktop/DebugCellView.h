// Debug mode's live view of the strip: the 12 sampled colours, which of them
// count as lit, and the phase and value of the frame they make, so that a
// user sees what the reader sees.
#pragma once

#include "platform/ScreenCapture.h"

#include <QWidget>

#include <array>
#include <cstdint>

namespace kv {

class DebugCellView : public QWidget {
public:
    explicit DebugCellView(QWidget* parent = nullptr);

    void setCells(const std::array<PixelColor, 12>& colors, const std::array<std::int64_t, 12>& lit);

    // "phase 0, value 65 'A'" / "no frame, value 3": what the cells mean.
    static QString describeFrame(const std::array<std::int64_t, 12>& lit);
    // What the cells shown now mean.
    QString description() const { return describeFrame(lit_); }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::array<PixelColor, 12> colors_{};
    std::array<std::int64_t, 12> lit_{};
};

} // namespace kv
