#include "PainterOptions.h"

#include <QCommandLineParser>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kv::painter {

namespace {

bool readNumber(const QCommandLineParser& parser, const QCommandLineOption& option, double& value,
                std::string& error) {
    if (!parser.isSet(option))
        return true;
    bool ok = false;
    const double number = parser.value(option).toDouble(&ok);
    if (!ok || !std::isfinite(number) || number < 0.0) {
        error = "--" + option.names().first().toStdString() + " needs a number of at least 0";
        return false;
    }
    value = number;
    return true;
}

bool readWhole(const QCommandLineParser& parser, const QCommandLineOption& option, int& value,
               std::string& error) {
    if (!parser.isSet(option))
        return true;
    bool ok = false;
    const int number = parser.value(option).toInt(&ok);
    if (!ok) {
        error = "--" + option.names().first().toStdString() + " needs a whole number";
        return false;
    }
    value = number;
    return true;
}

} // namespace

OptionsResult parsePainterOptions(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Paints the strip of 12 cells, or the calibration pattern, at the top-left of the screen.");
    parser.addHelpOption();
    parser.addPositionalArgument("command", "message TEXT... | calibrate | (nothing, with --stdin)");
    const QCommandLineOption hold("hold", "Seconds each frame is shown (default 0.15).", "seconds");
    const QCommandLineOption cell("cell", "Cell size of message frames in pixels (default 4).", "pixels");
    const QCommandLineOption scale("scale", "UI scale the strip is drawn at: cells of 4 x SCALE pixels.",
                                   "scale");
    const QCommandLineOption window("window", "Paint in a window of its own with this title.", "title");
    const QCommandLineOption at("at", "Where that window's client area starts (default 0,0).", "x,y");
    const QCommandLineOption line("line", "Top screen line of the calibration pattern (default 0).", "n");
    const QCommandLineOption firstCell("first-cell", "Width of the pattern's first cell (default: the cell).",
                                       "pixels");
    const QCommandLineOption width("width", "Width of the whole pattern (default: 12 cells).", "pixels");
    const QCommandLineOption seconds("seconds", "How long the pattern is shown (default 90).", "seconds");
    const QCommandLineOption readStdin("stdin", "Read commands line by line from standard input.");
    parser.addOptions({hold, cell, scale, window, at, line, firstCell, width, seconds, readStdin});

    OptionsResult result;
    if (!parser.parse(arguments)) {
        result.error = parser.errorText().toStdString();
        return result;
    }
    if (parser.isSet("help") || parser.isSet("help-all")) {
        // Parsed before the application exists, the parser cannot know the program's name.
        std::fputs(qPrintable(parser.helpText().replace("<executable_name>", "strip-painter")), stdout);
        result.helpShown = true;
        return result;
    }

    PainterOptions& options = result.options;
    options.readStdin = parser.isSet(readStdin);
    double uiScale = 0.0;
    if (!readNumber(parser, hold, options.holdSeconds, result.error) ||
        !readNumber(parser, cell, options.cellPixels, result.error) ||
        !readNumber(parser, scale, uiScale, result.error))
        return result;
    if (parser.isSet(scale))
        options.cellPixels = kDefaultCellPixels * uiScale;
    if (options.cellPixels < 1.0) {
        result.error = "--cell must be at least 1 pixel";
        return result;
    }

    if (parser.isSet(window) || parser.isSet(at)) {
        options.window = WindowPlacement{parser.value(window).toStdString(), 0, 0};
        const QStringList corner = parser.value(at).split(',');
        bool xOk = !parser.isSet(at), yOk = xOk;
        if (parser.isSet(at) && corner.size() == 2) {
            options.window->x = corner[0].toInt(&xOk);
            options.window->y = corner[1].toInt(&yOk);
        }
        if (!xOk || !yOk) {
            result.error = "--at needs X,Y in whole pixels";
            return result;
        }
    }

    // The pattern's defaults follow the message cells, as the add-on paints both with one strip.
    CalibrationGeometry& geometry = options.calibrationDefaults;
    geometry.height = std::max(1, static_cast<int>(std::lround(options.cellPixels)));
    geometry.firstCell = cellEdge(1, options.cellPixels);
    geometry.width = cellEdge(kCellCount, options.cellPixels);
    if (!readWhole(parser, line, geometry.line, result.error) ||
        !readWhole(parser, firstCell, geometry.firstCell, result.error) ||
        !readWhole(parser, width, geometry.width, result.error))
        return result;
    if (parser.isSet(firstCell) && !parser.isSet(width))
        geometry.width = geometry.firstCell * kCellCount;
    if (std::string why = calibrationGeometryError(geometry); !why.empty()) {
        result.error = why;
        return result;
    }
    double calibrationSeconds = kDefaultCalibrationSeconds;
    if (!readNumber(parser, seconds, calibrationSeconds, result.error))
        return result;

    const QStringList positional = parser.positionalArguments();
    const QString verb = positional.value(0);
    if (verb == "message") {
        if (positional.size() < 2) {
            result.error = "message needs at least one TEXT";
            return result;
        }
        for (qsizetype i = 1; i < positional.size(); ++i)
            options.commands.push_back(MessageCommand{positional[i].toUtf8().toStdString()});
    } else if (verb == "calibrate") {
        if (positional.size() > 1) {
            result.error = "calibrate takes its geometry as options";
            return result;
        }
        options.commands.push_back(CalibrateCommand{geometry, calibrationSeconds});
    } else if (!verb.isEmpty()) {
        result.error = "unknown command: " + verb.toStdString();
    } else if (!options.readStdin) {
        result.error = "nothing to paint: give a command or --stdin";
    }
    return result;
}

} // namespace kv::painter
