// strip-painter: paints the add-on's strip and calibration pattern on an X
// display, for tests and the demo. See README.md for its commands.
#include "PainterOptions.h"
#include "StdinLineReader.h"
#include "StripPainter.h"

#include <QApplication>

#include <cstdio>
#include <iostream>

using namespace kv::painter;

namespace {

void say(const std::string& line) {
    // Flushed at once: a test waits for these lines on a pipe.
    std::cout << line << std::endl;
}

} // namespace

int main(int argc, char** argv) {
    // Cells are sized in physical pixels; interface scaling would stretch them.
    qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    qputenv("QT_SCALE_FACTOR", "1");
    // Parsed before the application exists, so that help and mistakes need no display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const OptionsResult parsed = parsePainterOptions(arguments);
    if (parsed.helpShown)
        return 0;
    if (!parsed.error.empty()) {
        std::cerr << "strip-painter: " << parsed.error << "\n";
        return 2;
    }
    const PainterOptions& options = parsed.options;

    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    StripPainter painter(options, say);
    QObject::connect(&painter, &StripPainter::finished, &app, [] { QCoreApplication::exit(0); });
    for (const PainterCommand& command : options.commands)
        painter.enqueue(command);

    StdinLineReader input;
    if (options.readStdin) {
        QObject::connect(&input, &StdinLineReader::lineRead, &painter, [&](const std::string& line) {
            ParsedCommand parsedLine = parseCommandLine(line, options.calibrationDefaults);
            if (!parsedLine.error.empty())
                std::cerr << "strip-painter: " << parsedLine.error << "\n";
            else if (parsedLine.command)
                painter.enqueue(std::move(*parsedLine.command));
        });
        QObject::connect(&input, &StdinLineReader::closed, &painter, [&] { painter.finishAfterQueue(); });
        // Lines wait in the pipe until the window is up.
        QObject::connect(&painter, &StripPainter::ready, &input, &StdinLineReader::start);
    } else {
        painter.finishAfterQueue();
    }

    painter.start();
    return QApplication::exec();
}
