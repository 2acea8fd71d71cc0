// Runs the real painter on a private Xvfb display and grabs the top-left of
// that screen from this process, as the application captures the strip.
#include "CalibrationPattern.h"
#include "FrameEncoder.h"
#include "XvfbDisplay.h"

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#ifdef KV_HAVE_APP_CORE
#include "channel/CalibrationSearch.h"
#endif

using namespace kv::painter;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kCell = 8;
constexpr int kStripWidth = kCell * kCellCount;

QImage grabTopLeft(int width, int height) {
    return QGuiApplication::primaryScreen()
        ->grabWindow(0, 0, 0, width, height)
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

Rgb rgbAt(const QImage& image, int x, int y) {
    const QRgb p = image.pixel(x, y);
    return {qRed(p), qGreen(p), qBlue(p)};
}

// The 12 cells of an 8-pixel strip when every cell is a whole white or black
// square; nothing when any pixel of a cell differs.
std::optional<FrameCells> readStrip(const QImage& image) {
    FrameCells cells{};
    for (int i = 0; i < kCellCount; ++i) {
        const Rgb first = rgbAt(image, i * kCell, 0);
        if (first != Rgb{} && first != Rgb{255, 255, 255})
            return std::nullopt;
        for (int y = 0; y < kCell; ++y) {
            for (int x = i * kCell; x < (i + 1) * kCell; ++x) {
                if (rgbAt(image, x, y) != first)
                    return std::nullopt;
            }
        }
        cells[static_cast<std::size_t>(i)] = first != Rgb{};
    }
    return cells;
}

class PainterProcess {
public:
    explicit PainterProcess(const std::string& display) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", QString::fromStdString(display));
        env.insert("QT_QPA_PLATFORM", "xcb");
        process_.setProcessEnvironment(env);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }
    ~PainterProcess() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }

    bool start(const QStringList& args) {
        process_.start(KV_STRIP_PAINTER, args);
        return process_.waitForStarted(10000);
    }
    void write(const std::string& line) {
        process_.write(line.data(), static_cast<qint64>(line.size()));
        process_.waitForBytesWritten(5000);
    }
    // Waits at most `ms` for output and collects the complete lines.
    void pump(int ms) {
        process_.waitForReadyRead(ms);
        while (process_.canReadLine())
            lines_.push_back(process_.readLine().trimmed().toStdString());
    }
    bool saw(const std::string& line) const {
        return std::find(lines_.begin(), lines_.end(), line) != lines_.end();
    }
    bool waitForLine(const std::string& line, Clock::duration timeout) {
        const auto deadline = Clock::now() + timeout;
        while (!saw(line) && Clock::now() < deadline)
            pump(50);
        return saw(line);
    }
    // Grabs until `holds` is true of the strip's area or the deadline passes.
    bool waitForScreen(const std::function<bool(const QImage&)>& holds, int width, int height,
                       Clock::duration timeout) {
        const auto deadline = Clock::now() + timeout;
        for (;;) {
            if (holds(grabTopLeft(width, height)))
                return true;
            if (Clock::now() >= deadline)
                return false;
            pump(5);
        }
    }
    bool waitForExit(int& code) {
        if (!process_.waitForFinished(20000))
            return false;
        pump(0);
        code = process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
        return true;
    }
    const std::vector<std::string>& lines() const { return lines_; }

private:
    QProcess process_;
    std::vector<std::string> lines_;
};

class StripPainterOnScreen : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        display_ = new test_support::XvfbDisplay;
        why_ = display_->start();
        if (!why_.empty())
            return;
        ::setenv("DISPLAY", display_->name().c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        static int argc = 1;
        static char name[] = "strip_painter_gui_tests";
        static char* argv[] = {name, nullptr};
        app_ = new QGuiApplication(argc, argv);
    }
    static void TearDownTestSuite() {
        delete app_;
        app_ = nullptr;
        delete display_;
        display_ = nullptr;
    }
    void SetUp() override {
        if (!why_.empty())
            GTEST_SKIP() << why_;
    }

    static inline test_support::XvfbDisplay* display_ = nullptr;
    static inline QGuiApplication* app_ = nullptr;
    static inline std::string why_;
};

} // namespace

TEST_F(StripPainterOnScreen, ShowsEveryFrameOfAMessageInOrderAsWholeCellsThenIdles) {
    PainterProcess painter(display_->name());
    ASSERT_TRUE(painter.start({"--stdin", "--hold", "0.25"}));
    ASSERT_TRUE(painter.waitForLine("ready", 20s));
    EXPECT_EQ(readStrip(grabTopLeft(kStripWidth, kCell)), idleCells());

    painter.write("message C448\n");
    std::vector<FrameCells> seen;
    const auto deadline = Clock::now() + 30s;
    while (!painter.saw("painted: C448") && Clock::now() < deadline) {
        const std::optional<FrameCells> cells = readStrip(grabTopLeft(kStripWidth, kCell));
        ASSERT_TRUE(cells.has_value()) << "a cell was not one flat white or black square";
        if (*cells != idleCells() && (seen.empty() || seen.back() != *cells))
            seen.push_back(*cells);
        painter.pump(2);
    }
    ASSERT_TRUE(painter.saw("painted: C448"));

    const auto frames = framesForMessage("C448");
    ASSERT_TRUE(frames.has_value());
    std::vector<FrameCells> expected;
    for (const StripFrame& frame : *frames)
        expected.push_back(frame.cells);
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(readStrip(grabTopLeft(kStripWidth, kCell)), idleCells());
}

TEST_F(StripPainterOnScreen, PaintsTheCalibrationPatternFromItsLineWithItsCellWidths) {
    PainterProcess painter(display_->name());
    ASSERT_TRUE(painter.start({"--stdin"}));
    ASSERT_TRUE(painter.waitForLine("ready", 20s));
    painter.write("calibrate 3 9 108\n");
    ASSERT_TRUE(painter.waitForLine("calibrating", 20s));

    // First cell 9 pixels and 99 pixels over the other eleven: every cell is 9 pixels wide, 8 high.
    const QImage image = grabTopLeft(108, 11);
    for (int y = 0; y < 11; ++y) {
        for (int x = 0; x < 108; ++x) {
            const Rgb expected =
                y < 3 ? Rgb{} : colourOfCode(kCalibrationCodes[static_cast<std::size_t>(x / 9)]);
            ASSERT_EQ(rgbAt(image, x, y), expected) << "at " << x << ", " << y;
        }
    }

#ifdef KV_HAVE_APP_CORE
    // The application's own search, on this screen, finds the geometry the pattern was painted for.
    struct GrabbedScreen : kv::channel::CalibrationScreen {
        Clock::time_point deadline = Clock::now() + 60s;
        std::optional<kv::channel::Rgb> colorAt(const kv::channel::ScreenRect& rect,
                                                std::int64_t column) override {
            const int width = static_cast<int>(std::ceil(rect.width));
            if (column < 0 || column >= width)
                return std::nullopt;
            const QImage row =
                QGuiApplication::primaryScreen()
                    ->grabWindow(0, static_cast<int>(rect.x), static_cast<int>(rect.y), width, 1)
                    .toImage();
            const QColor c = row.pixelColor(static_cast<int>(column), 0);
            return kv::channel::Rgb{c.redF(), c.greenF(), c.blueF()};
        }
        void waitStep() override {}
        bool deadlinePassed() override { return Clock::now() > deadline; }
    } screen;
    kv::channel::ScanGeometry geometry{80.0, 2, 1};
    EXPECT_TRUE(kv::channel::searchCalibration(geometry, screen, {}));
    EXPECT_EQ(geometry, (kv::channel::ScanGeometry{108.0, 4, 3}));
#endif
}

TEST_F(StripPainterOnScreen, IdleEndsThePatternRefusesUnsendableTextAndQuitEnds) {
    PainterProcess painter(display_->name());
    ASSERT_TRUE(painter.start({"--stdin"}));
    ASSERT_TRUE(painter.waitForLine("ready", 20s));
    painter.write("calibrate\n");
    ASSERT_TRUE(painter.waitForLine("calibrating", 20s));
    EXPECT_EQ(rgbAt(grabTopLeft(1, 1), 0, 0), (Rgb{255, 0, 255}));

    painter.write("idle\nmessage A\n");
    EXPECT_TRUE(painter.waitForScreen([](const QImage& image) { return readStrip(image) == idleCells(); },
                                      kStripWidth, kCell, 20s));
    EXPECT_TRUE(painter.waitForLine("refused: A", 20s));

    painter.write("quit\n");
    int code = -1;
    ASSERT_TRUE(painter.waitForExit(code));
    EXPECT_EQ(code, 0);
}

TEST_F(StripPainterOnScreen, CommandLineMessagesArePaintedInOrderThenThePainterExits) {
    PainterProcess painter(display_->name());
    ASSERT_TRUE(painter.start({"message", "Ab", "N3100", "--hold", "0.02"}));
    int code = -1;
    ASSERT_TRUE(painter.waitForExit(code));
    EXPECT_EQ(code, 0);
    EXPECT_EQ(painter.lines(), (std::vector<std::string>{"ready", "painted: Ab", "painted: N3100"}));
}
