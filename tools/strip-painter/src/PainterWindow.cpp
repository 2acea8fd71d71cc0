#include "PainterWindow.h"

#include <QGuiApplication>
#include <QMetaObject>
#include <QPainter>
#include <QScreen>

#include <algorithm>

namespace kv::painter {

PainterWindow::PainterWindow(const StripScene& initial)
    : QWidget(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::X11BypassWindowManagerHint |
                           Qt::WindowDoesNotAcceptFocus),
      scene_(initial) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    // Every pixel is painted each time: no background fill to flicker through.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    placeAtTopLeft();
}

void PainterWindow::placeAtTopLeft() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QPoint origin = screen ? screen->geometry().topLeft() : QPoint(0, 0);
    setFixedSize(std::max(1, scene_.width), std::max(1, scene_.height));
    move(origin);
}

void PainterWindow::showScene(const StripScene& scene) {
    const bool resized = scene.width != scene_.width || scene.height != scene_.height;
    scene_ = scene;
    if (resized)
        placeAtTopLeft();
    repaint();
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
