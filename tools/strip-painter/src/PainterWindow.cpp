#include "PainterWindow.h"

#include <QGuiApplication>
#include <QMetaObject>
#include <QPainter>
#include <QScreen>

#include <algorithm>

namespace kv::painter {

namespace {

// The game's window in window mode: room for every scene, black around it.
constexpr int kGameWindowWidth = 400;
constexpr int kGameWindowHeight = 240;

Qt::WindowFlags flagsFor(const std::optional<WindowPlacement>& placement) {
    if (placement)
        return Qt::Window | Qt::WindowDoesNotAcceptFocus;
    return Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::X11BypassWindowManagerHint |
           Qt::WindowDoesNotAcceptFocus;
}

} // namespace

PainterWindow::PainterWindow(const StripScene& initial, std::optional<WindowPlacement> placement)
    : QWidget(nullptr, flagsFor(placement)), scene_(initial), placement_(std::move(placement)) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    // Every pixel is painted each time: no background fill to flicker through.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    if (placement_) {
        setWindowTitle(QString::fromStdString(placement_->title));
        move(placement_->x, placement_->y);
    } else {
        const QScreen* screen = QGuiApplication::primaryScreen();
        move(screen ? screen->geometry().topLeft() : QPoint(0, 0));
    }
    fitScene();
}

void PainterWindow::fitScene() {
    const int width = std::max(1, scene_.width);
    const int height = std::max(1, scene_.height);
    if (placement_)
        setFixedSize(std::max(width, kGameWindowWidth), std::max(height, kGameWindowHeight));
    else
        setFixedSize(width, height);
}

void PainterWindow::showScene(const StripScene& scene) {
    const bool resized = scene.width != scene_.width || scene.height != scene_.height;
    scene_ = scene;
    if (resized)
        fitScene();
    repaint();
    QGuiApplication::sync();
}

void PainterWindow::moveTo(int x, int y) {
    move(x, y);
    QGuiApplication::sync();
}

void PainterWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    for (const ColouredRect& r : scene_.rects)
        painter.fillRect(r.x, r.y, r.width, r.height, QColor(r.colour.red, r.colour.green, r.colour.blue));
    if (!shown_) {
        shown_ = true;
        // Queued: the backing store is flushed to the screen after this returns.
        QMetaObject::invokeMethod(
            this,
            [this] {
                QGuiApplication::sync();
                emit firstShown();
            },
            Qt::QueuedConnection);
    }
}

} // namespace kv::painter
