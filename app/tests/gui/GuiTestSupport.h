// A private settings folder, and the pages a test host was asked to store and show.
#pragma once

#include "TemporaryFolder.h"
#include "WaitUntil.h"

#include <TestHost.h>

#include <QSettings>

#include <algorithm>
#include <string>
#include <vector>

namespace kv::guitest {

using testsupport::waitUntil;

// The application's user defaults go to a temporary folder for one test.
class PrivateSettings {
public:
    PrivateSettings() {
        const QString path = QString::fromStdString(folder_.path().string());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, path);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, path);
    }

private:
    testsupport::TemporaryFolder folder_;
};

// The host's message types: a registration (with an icon), a file by path, a
// page's text, the page to show.
inline constexpr std::uint32_t registrationMessage = 2;
inline constexpr std::uint32_t registrationWithIconMessage = 3;
inline constexpr std::uint32_t fileMessage = 4;
inline constexpr std::uint32_t contentMessage = 5;
inline constexpr std::uint32_t indexMessage = 7;

// What a host was asked to store ("content") and show ("index"), in order.
struct HostLog {
    std::vector<halvtest::Message> messages;

    // The first message of the type for the file at or after `from` whose
    // payload holds `containing`; -1 when there is none.
    std::ptrdiff_t find(std::uint32_t type, const std::string& name, std::ptrdiff_t from,
                        const std::string& containing = {}) const {
        for (auto i = static_cast<std::size_t>(std::max<std::ptrdiff_t>(from, 0)); i < messages.size(); ++i) {
            const auto payload = messages[i].payload();
            if (messages[i].type == type && messages[i].fileName() == name &&
                (containing.empty() || std::search(payload.begin(), payload.end(), containing.begin(),
                                                   containing.end()) != payload.end()))
                return static_cast<std::ptrdiff_t>(i);
        }
        return -1;
    }
};

} // namespace kv::guitest
