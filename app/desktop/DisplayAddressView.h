// The companion display's address in the main window: the address to open,
// its QR code for a phone's camera, and a button that copies the address.
#pragma once

#include <QObject>

#include <optional>
#include <string>

class QLabel;
class QPushButton;

namespace kv {

class DisplayAddressView : public QObject {
public:
    DisplayAddressView(QLabel& code, QLabel& address, QPushButton& copy);

    // `url`: the display's address with its token, "" while no host serves one.
    void show(const std::string& url);

private:
    QLabel& code_;
    QLabel& address_;
    QPushButton& copy_;
    std::optional<std::string> shown_; // none before the first call
};

} // namespace kv
