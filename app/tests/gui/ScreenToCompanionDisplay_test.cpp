// The whole road of a message on a real X display: the strip painted at the
// top-left corner, captured by the application's window, decoded, composed
// and pushed through the real SDK to a test host.
#include "GuiTestSupport.h"
#include "platform/DesktopApplication.h"

#include <TestHost.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace kv::guitest {
namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t contentMessage = 5;
constexpr std::uint32_t indexMessage = 7;

std::string payloadText(const halvtest::Message& message) {
    const auto bytes = message.payload();
    return std::string(bytes.begin(), bytes.end());
}

// What the host was asked to store and show, in order: "content <name>" and "index <name>".
struct HostLog {
    std::vector<halvtest::Message> messages;

    std::ptrdiff_t find(std::uint32_t type, const std::string& name, std::ptrdiff_t from,
                        const std::string& containing = {}) const {
        for (auto i = static_cast<std::size_t>(std::max<std::ptrdiff_t>(from, 0)); i < messages.size(); ++i)
            if (messages[i].type == type && messages[i].fileName() == name &&
                (containing.empty() || payloadText(messages[i]).find(containing) != std::string::npos))
                return static_cast<std::ptrdiff_t>(i);
        return -1;
    }
};

class ScreenToCompanionDisplay : public ::testing::Test {
protected:
    PrivateSettings settings;
    BrowserStandIn browser;
    halvtest::TestHost host;

    // Cells 8 pixels wide from x 0: sampled at the middle of each cell on row 1.
    void SetUp() override {
        QSettings stored(QStringLiteral("Pellmoor"), QStringLiteral("KeshVistrel"));
        stored.setValue(QStringLiteral("scanWidth"), 96.0f);
        stored.setValue(QStringLiteral("scanHorizOffset"), 4);
        stored.setValue(QStringLiteral("scanVertOffset"), 1);
    }

    bool hostHas(const std::function<bool(const HostLog&)>& condition, std::chrono::milliseconds deadline) {
        return waitUntil([&] { return condition(HostLog{host.messages()}); }, deadline);
    }
};

// The project's strip painter program draws the strip, as the demo does:
// square 8-pixel cells from the corner. It is built beside this test.
TEST_F(ScreenToCompanionDisplay, PaintedCharacterAndNpcMessagesReachTheHostAsPagesInOrder) {
    const QString program =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("strip-painter"));
    ASSERT_TRUE(QFileInfo(program).isExecutable()) << "strip-painter is built with these tests";
    DesktopApplication app;
    app.launch();
    ASSERT_TRUE(
        hostHas([](const HostLog& log) { return log.find(contentMessage, "update.html", 0) >= 0; }, 10s))
        << "the update page is stored at launch";
    const auto afterLaunch = static_cast<std::ptrdiff_t>(host.messages().size());

    QProcess painter;
    painter.start(program, {QStringLiteral("message"), QStringLiteral("Thrall-Aerie Peak"),
                            QStringLiteral("N10184"), QStringLiteral("--hold"), QStringLiteral("0.15")});
    ASSERT_TRUE(painter.waitForStarted());
    ASSERT_TRUE(
        hostHas([](const HostLog& log) { return log.find(indexMessage, "wowhead.html", 0) >= 0; }, 60s));
    EXPECT_TRUE(waitUntil([&] { return painter.state() == QProcess::NotRunning; }, 10s));
    EXPECT_EQ(painter.exitCode(), 0) << painter.readAllStandardError().toStdString();

    const HostLog log{host.messages()};
    const auto updateShown = log.find(indexMessage, "update.html", afterLaunch);
    const auto characterPage = log.find(contentMessage, "vistrel.html", updateShown, "aerie-peak");
    const auto characterShown = log.find(indexMessage, "vistrel.html", characterPage);
    const auto npcPage = log.find(contentMessage, "wowhead.html", characterShown, "10184");
    const auto npcShown = log.find(indexMessage, "wowhead.html", npcPage);
    ASSERT_GE(updateShown, 0) << "the first byte brings up the update page";
    ASSERT_GT(characterPage, updateShown);
    EXPECT_NE(payloadText(log.messages[static_cast<std::size_t>(characterPage)]).find("Thrall"),
              std::string::npos);
    EXPECT_GT(characterShown, characterPage);
    EXPECT_GT(npcPage, characterShown);
    EXPECT_GT(npcShown, npcPage);
    EXPECT_TRUE(browser.opened.empty()) << "show-on-desktop-too is off";

    // The picture of the window for the documentation, when asked for.
    if (const char* shot = std::getenv("KV_MAIN_WINDOW_SCREENSHOT")) {
        EXPECT_TRUE(app.mainWindow().grab().save(QString::fromLocal8Bit(shot), "PNG"));
    }
}

} // namespace
} // namespace kv::guitest
