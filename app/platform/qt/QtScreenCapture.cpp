#include "platform/qt/QtScreenCapture.h"

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace kv {

namespace {

class QtCapturedImage : public CapturedImage {
public:
    explicit QtCapturedImage(QImage image) : image_(std::move(image)) {}

    std::optional<PixelColor> colorAt(std::int64_t x, std::int64_t y) const override {
        if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height())
            return std::nullopt;
        const QColor color = image_.pixelColor(static_cast<int>(x), static_cast<int>(y));
        return PixelColor{color.redF(), color.greenF(), color.blueF()};
    }

private:
    QImage image_;
};

// Whole device pixels covering a length in points; at least one, because a
// zero or negative size asks Qt for the whole screen.
int coveringPixels(double length) {
    if (!(length >= 1.0))
        return 1;
    return static_cast<int>(std::min(std::ceil(length), 1.0e6));
}

int wholePoint(double coordinate) {
    return static_cast<int>(std::clamp(std::floor(coordinate), -1.0e6, 1.0e6));
}

} // namespace

const std::string& QtScreenCapture::captureRefusedNotice() {
    static const std::string notice =
        "\nThis desktop session does not let Kesh Vistrel read the screen (Wayland). Run the game "
        "through XWayland and start Kesh Vistrel with QT_QPA_PLATFORM=xcb KeshVistrel, or log in to an "
        "X11 session.\n\n";
    return notice;
}

std::optional<std::uint32_t> QtScreenCapture::activeDisplayCount() {
    return static_cast<std::uint32_t>(QGuiApplication::screens().size());
}

std::unique_ptr<CapturedImage> QtScreenCapture::captureMainDisplay(const Rect& rect) {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return nullptr;
    const QPixmap grabbed = screen->grabWindow(0, wholePoint(rect.x), wholePoint(rect.y),
                                               coveringPixels(rect.width), coveringPixels(rect.height));
    if (grabbed.isNull()) {
        giveNoticeOnce();
        return nullptr;
    }
    return std::make_unique<QtCapturedImage>(grabbed.toImage());
}

double QtScreenCapture::backingScaleFactor() {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->devicePixelRatio() : 1.0;
}

void QtScreenCapture::warnIfSessionRefusesCapture() {
    if (QGuiApplication::platformName() == QLatin1String("wayland"))
        giveNoticeOnce();
}

void QtScreenCapture::giveNoticeOnce() {
    if (noticeGiven_)
        return;
    noticeGiven_ = true;
    if (noticeSink_)
        noticeSink_(captureRefusedNotice());
}

} // namespace kv
