#include "desktop/DisplayAddressView.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHostAddress>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QUrl>

#include <qrencode.h>

namespace kv {

namespace {

// Pixels a module, and the light border a camera needs around the code.
constexpr int moduleSide = 4;
constexpr int quietModules = 4;

QPixmap qrCode(const std::string& text) {
    QRcode* code = QRcode_encodeString(text.c_str(), 0, QR_ECLEVEL_M, QR_MODE_8, 1);
    if (!code)
        return {};
    const int side = code->width + 2 * quietModules;
    QImage image(side, side, QImage::Format_Mono);
    image.fill(1);
    image.setColor(0, qRgb(0, 0, 0));
    image.setColor(1, qRgb(255, 255, 255));
    for (int y = 0; y < code->width; ++y)
        for (int x = 0; x < code->width; ++x)
            if (code->data[y * code->width + x] & 1)
                image.setPixel(x + quietModules, y + quietModules, 0);
    QRcode_free(code);
    return QPixmap::fromImage(image.scaled(side * moduleSide, side * moduleSide));
}

// Whether only this computer can open the address.
bool isLocal(const QUrl& url) {
    return url.host() == QStringLiteral("localhost") || QHostAddress(url.host()).isLoopback();
}

} // namespace

DisplayAddressView::DisplayAddressView(QLabel& code, QLabel& address, QPushButton& copy)
    : code_(code), address_(address), copy_(copy) {
    connect(&copy_, &QPushButton::clicked, this,
            [this] { QGuiApplication::clipboard()->setText(QString::fromStdString(shown_.value_or(""))); });
    show({});
}

void DisplayAddressView::show(const std::string& url) {
    if (shown_ == url)
        return;
    shown_ = url;
    const QString text = QString::fromStdString(url);
    const bool local = isLocal(QUrl(text));
    code_.setPixmap(url.empty() || local ? QPixmap() : qrCode(url));
    code_.setVisible(!url.empty() && !local);
    copy_.setEnabled(!url.empty());
    if (url.empty())
        address_.setText(QStringLiteral("The display's address appears here once kesh-host serves it."));
    else if (local)
        address_.setText(
            QStringLiteral("<a href=\"%1\">%1</a><br>Only this computer can open it: for a phone or "
                           "tablet, start kesh-host with --lan.")
                .arg(text.toHtmlEscaped()));
    else
        address_.setText(
            QStringLiteral("<a href=\"%1\">%1</a><br>Scan the code with a phone or tablet on the same "
                           "network, or open the address there.")
                .arg(text.toHtmlEscaped()));
}

} // namespace kv
